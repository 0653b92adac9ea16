// Profiles exported to and imported from files of the user's choosing.
#include "profiles/profile_files.h"

#include <cstdio>
#include <cstring>

#include "exec/log.h"
#include "script/script.h"

namespace {

// A PROFILE line carries 17 values (18 with the no-board mark).
constexpr uint32_t kProfileValueCount = 17;

struct ImportRead {
  ProfileList* list;
  int lines = 0;
  bool damaged = false;
  char* problem;
  size_t size;
};

// What a slider or check box can set; a file holding more is not a profile
// file of this program, or a damaged one.
struct ValueRange {
  int32_t minimum, maximum;
};
const ValueRange kRanges[15] = {
    {0, 7},      // option flags (bits)
    {180, 2160}, // max angle
    {0, 127}, {0, 127}, {0, 127}, {0, 127}, {0, 127}, {0, 127}, {0, 127}, {0, 127},  // game effects
    {0, 127}, {0, 127}, {0, 127}, {0, 127},  // user effects
    {1, 31},     // filter
};

int ReadImportLine(uint16_t id, ScriptCursor* cursor) {
  ImportRead* read = static_cast<ImportRead*>(cursor->context);
  if (id != kProfileKey || read->damaged) return 0;
  ++read->lines;
  if (ValuesLeft(cursor) < kProfileValueCount) {
    snprintf(read->problem, read->size, "profile %d has %u of its %u values", read->lines,
             ValuesLeft(cursor), kProfileValueCount);
    read->damaged = true;
    return 0;
  }
  char name[kProfileTextMax + 1];
  char process[kProfileTextMax + 1];
  CopyProfileText(name, NextString(cursor));
  CopyProfileText(process, NextString(cursor));
  int32_t values[15];
  for (int i = 0; i < 15; ++i) {
    values[i] = NextNumber(cursor);
    if (values[i] < kRanges[i].minimum || values[i] > kRanges[i].maximum) {
      snprintf(read->problem, read->size, "profile \"%s\" has the value %ld where %ld to %ld belong", name,
               static_cast<long>(values[i]), static_cast<long>(kRanges[i].minimum),
               static_cast<long>(kRanges[i].maximum));
      read->damaged = true;
      return 0;
    }
  }
  if (name[0] == 0 || read->list->Find(name)) return 0;  // the first of a name counts, as at start
  GameProfile* p = read->list->Append(name, process);
  if (!p) {
    snprintf(read->problem, read->size, "out of memory");
    read->damaged = true;
    return 0;
  }
  p->optionFlags = static_cast<uint8_t>(values[0]);
  p->maxAngle = static_cast<uint32_t>(values[1]);
  int8_t* const fields[] = {&p->mainGain,   &p->gameSpring,   &p->gameFriction, &p->gameDamper,
                            &p->gameInertia, &p->constant,    &p->sine,         &p->forceTable,
                            &p->userSpring, &p->userFriction, &p->userDamper,   &p->userInertia};
  for (int i = 0; i < 12; ++i) *fields[i] = static_cast<int8_t>(values[2 + i]);
  p->filter = static_cast<uint8_t>(values[14]);
  // A shared profile holds the sender's values: the mark of a placeholder
  // would let the receiving board overwrite them.
  p->madeWithoutBoard = false;
  return 0;
}

void CopyValues(GameProfile* to, const GameProfile& from) {
  char name[kProfileTextMax + 1];
  memcpy(name, to->name, sizeof name);
  ExecNode node = to->node;
  GameProfile* sameHash = to->sameHash;
  *to = from;
  memcpy(to->name, name, sizeof name);  // the list's index and node keep their name
  to->node = node;
  to->sameHash = sameHash;
}

}  // namespace

bool ExportProfile(const GameProfile& profile, const char* utf8Path) {
  ScriptDocument* document = NewUserScript(utf8Path);
  if (!document) return false;
  GameProfile shared = profile;
  shared.madeWithoutBoard = false;
  const bool ok = BeginSection(document, kProfilesSection) && AddProfileLine(document, shared) &&
                  WriteSection(document);
  if (!ok) LogPrintf(0, "ExportProfile: \"%s\" not written to %s", profile.name, utf8Path);
  DeleteScriptDocument(document);
  return ok;
}

ProfileFileRead ReadProfileFile(const char* utf8Path, ProfileList* list, char* problem, size_t size) {
  list->Free();
  if (size > 0) problem[0] = 0;
  ScriptDocument* document = OpenUserScript(utf8Path, kProfileFileMax);
  if (!document) return ProfileFileRead::kUnreadable;
  ImportRead read{list, 0, false, problem, size};
  document->context = &read;
  ReadSection(document, kProfilesSection, kProfileKeys, ReadImportLine);
  DeleteScriptDocument(document);
  if (read.damaged) {
    list->Free();
    return ProfileFileRead::kDamaged;
  }
  if (list->Count() == 0) return ProfileFileRead::kNotProfiles;
  return ProfileFileRead::kRead;
}

void FreeProfileName(const ProfileList& list, const char* name, char* out) {
  for (int n = 2;; ++n) {
    char suffix[16];
    const int suffixLength = snprintf(suffix, sizeof suffix, " (%d)", n);
    size_t keep = strlen(name);
    if (keep + suffixLength > kProfileTextMax) keep = kProfileTextMax - suffixLength;
    memcpy(out, name, keep);
    memcpy(out + keep, suffix, suffixLength + 1);
    if (!list.Find(out)) return;
  }
}

int AddImportedProfiles(GameProfiles& profiles, const ProfileList& imported, ReplaceQuestion replace,
                        void* context) {
  int taken = 0;
  for (const GameProfile* p = imported.First(); p; p = ProfileList::Next(p)) {
    GameProfile* existing = profiles.list.Find(p->name);
    if (existing == nullptr) {
      if (GameProfile* added = profiles.CreateProfile(p->name, p->processName)) {
        CopyValues(added, *p);
        ++taken;
      }
      continue;
    }
    char freeName[kProfileTextMax + 1];
    FreeProfileName(profiles.list, p->name, freeName);
    if (replace(context, existing->name, freeName)) {
      // "Default" keeps its process name: it stands for no game.
      char process[kProfileTextMax + 1];
      memcpy(process, existing->processName, sizeof process);
      CopyValues(existing, *p);
      if (strcmp(existing->name, kDefaultProfileName) == 0) memcpy(existing->processName, process, sizeof process);
      ++profiles.changes;
      ++taken;
      if (existing == profiles.CurrentProfile()) profiles.ApplyProfile(existing);
    } else if (GameProfile* added = profiles.CreateProfile(freeName, p->processName)) {
      CopyValues(added, *p);
      ++taken;
    }
  }
  return taken;
}
