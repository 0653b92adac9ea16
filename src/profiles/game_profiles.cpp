// The profile list and GameProfiles.ini.
#include "profiles/game_profiles.h"

#include <cstring>

#include "exec/execlib.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "exec/text.h"
#include "script/script.h"

namespace {

constexpr char kMissing[] = "Missing parameter";

GameProfile* FromNode(ExecNode* node) { return reinterpret_cast<GameProfile*>(node); }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// FNV-1a over the name in lower case (ASCII), matching the list's name compare.
uint32_t NameHash(const char* name) {
  uint32_t hash = 2166136261u;
  for (const char* p = name; *p; ++p) hash = (hash ^ static_cast<uint8_t>(Lower(*p))) * 16777619u;
  return hash;
}

void SetDefaults(GameProfile* p) {
  p->maxAngle = 900;
  p->mainGain = p->gameSpring = p->gameFriction = p->gameDamper = 127;
  p->gameInertia = p->constant = p->sine = p->forceTable = 127;
  p->optionFlags = 0;
  p->filter = 16;
  p->userSpring = p->userFriction = p->userDamper = p->userInertia = 0;
}

// One PROFILE line: name, process name, then the numbers in file order. What
// the line leaves out reads as "Missing parameter" or 0 (an older file has no
// mark: its profiles hold what the user set); values after the mark are left.
int ReadProfileLine(uint16_t id, ScriptCursor* cursor) {
  GameProfiles* profiles = static_cast<GameProfiles*>(cursor->context);
  if (!profiles || id != kProfileKey) return 0;
  const char* name = NextString(cursor);
  const char* process = NextString(cursor);
  if (!name) name = kMissing;
  if (!process) process = kMissing;

  char cut[kProfileTextMax + 1];
  CopyProfileText(cut, name);
  if (profiles->list.Find(cut)) {
    // The first line of a name is the one the user has been using; a later
    // copy (a hand edit, a merge) must neither replace it nor fail the load.
    LogPrintf(0, "LoadProfiles: second profile named \"%s\" skipped\n", cut);
    return 0;
  }
  GameProfile* p = profiles->CreateProfile(cut, process);
  if (!p) return 0;
  p->optionFlags = static_cast<uint8_t>(NextNumber(cursor));
  p->maxAngle = static_cast<uint32_t>(NextNumber(cursor)) & 0xFFFFu;
  int8_t* const game[] = {&p->mainGain,    &p->gameSpring, &p->gameFriction, &p->gameDamper,
                          &p->gameInertia, &p->constant,   &p->sine,         &p->forceTable};
  for (int8_t* value : game) *value = static_cast<int8_t>(NextNumber(cursor));
  int8_t* const user[] = {&p->userSpring, &p->userFriction, &p->userDamper, &p->userInertia};
  for (int8_t* value : user) *value = static_cast<int8_t>(NextNumber(cursor));
  p->filter = static_cast<uint8_t>(NextNumber(cursor));
  p->madeWithoutBoard = (NextNumber(cursor) & kMarkNoBoardValues) != 0;
  return 0;
}

// One PROFILE line per profile, in list order.
bool AddProfileKeys(ScriptDocument* document, const void* context) {
  const GameProfiles& profiles = *static_cast<const GameProfiles*>(context);
  bool ok = true;
  for (const GameProfile* p = profiles.list.First(); ok && p; p = ProfileList::Next(p)) {
    ok = AddProfileLine(document, *p);
  }
  return ok;
}

}  // namespace

bool AddProfileLine(ScriptDocument* document, const GameProfile& profile) {
  const GameProfile* p = &profile;
  ScriptKeyLine* line = AddKey(document, kProfileKeys, kProfileKey);
  // AddString quotes whatever would not read back as one whole value
  // (spaces, commas, quotes, brackets), so every name survives a save.
  bool ok = AddString(line, p->name) && AddString(line, p->processName) && AddNumber(line, p->optionFlags) &&
            AddNumber(line, static_cast<int32_t>(p->maxAngle));
  const int8_t values[] = {p->mainGain,   p->gameSpring,   p->gameFriction, p->gameDamper,
                           p->gameInertia, p->constant,    p->sine,         p->forceTable,
                           p->userSpring, p->userFriction, p->userDamper,   p->userInertia};
  for (int8_t value : values) ok = ok && AddNumber(line, value);
  ok = ok && AddNumber(line, p->filter);
  if (p->madeWithoutBoard) ok = ok && AddNumber(line, kMarkNoBoardValues);
  return ok;
}

const ScriptKey kProfileKeys[] = {
    {"PROFILE", kProfileKey, ScriptKeyToLineEnd},
    {nullptr, 0, 0},
};

void CopyProfileText(char* field, const char* text) {
  size_t n = 0;
  if (text) {
    while (n < kProfileTextMax && text[n] && text[n] != '\r' && text[n] != '\n' && text[n] != 0x1A) {
      field[n] = text[n];
      ++n;
    }
  }
  field[n] = 0;
}

// ---- the list

ProfileList::ProfileList() { InitListHeader(&list_); }

ProfileList::~ProfileList() {
  // The program frees the list before the runtime goes; what a test or an
  // early exit leaves behind is freed here while the pools still exist.
  if (ExecStarted()) Free();
}

void ProfileList::Index(GameProfile* profile) {
  if (!buckets_) return;
  GameProfile** bucket = &buckets_[NameHash(profile->name) & (bucketCount_ - 1)];
  profile->sameHash = *bucket;
  *bucket = profile;
}

void ProfileList::Unindex(GameProfile* profile) {
  if (!buckets_) return;
  for (GameProfile** link = &buckets_[NameHash(profile->name) & (bucketCount_ - 1)]; *link;
       link = &(*link)->sameHash) {
    if (*link == profile) {
      *link = profile->sameHash;
      return;
    }
  }
}

bool ProfileList::GrowIndex() {
  const uint32_t size = bucketCount_ ? bucketCount_ * 2 : 64;
  GameProfile** buckets = static_cast<GameProfile**>(AllocMem(kMainPoolId, size * sizeof(GameProfile*)));
  if (buckets_) FreeMem(buckets_);
  buckets_ = buckets;
  bucketCount_ = buckets ? size : 0;
  if (!buckets) return false;  // Find walks the list from now on
  ClearMem(buckets_, size * sizeof(GameProfile*));
  for (GameProfile* p = First(); p; p = Next(p)) Index(p);
  return true;
}

GameProfile* ProfileList::First() const { return FromNode(FirstNode(&list_)); }

GameProfile* ProfileList::Next(const GameProfile* profile) {
  return profile ? FromNode(NextNode(&profile->node)) : nullptr;
}

GameProfile* ProfileList::At(int index) const {
  if (index < 0 || static_cast<uint32_t>(index) >= count_) return nullptr;
  return FromNode(GetNthNode(&list_, static_cast<uint32_t>(index)));
}

int ProfileList::IndexOf(const GameProfile* profile) const {
  int index = 0;
  for (const GameProfile* p = First(); p; p = Next(p), ++index) {
    if (p == profile) return index;
  }
  return -1;
}

GameProfile* ProfileList::Find(const char* name) const {
  if (!name) return nullptr;
  if (!buckets_) return FromNode(FindNameInList(&list_, name));
  for (GameProfile* p = buckets_[NameHash(name) & (bucketCount_ - 1)]; p; p = p->sameHash) {
    if (SameTextIgnoringCase(p->name, name)) return p;
  }
  return nullptr;
}

GameProfile* ProfileList::Append(const char* name, const char* processName) {
  GameProfile* p = static_cast<GameProfile*>(AllocMem(kMainPoolId, sizeof(GameProfile)));
  if (!p) {
    LogPrintf(0, "CreateProfile: Could not allocate memory\n");
    return nullptr;
  }
  ClearMem(p, sizeof(GameProfile));
  SetDefaults(p);
  CopyProfileText(p->name, name);
  CopyProfileText(p->processName, processName);
  p->node.name = p->name;
  AddTail(&list_, &p->node);
  ++count_;
  // The index grows with the list (at most one profile per bucket on average);
  // the first profile brings it, unless memory for it is short.
  if (count_ > bucketCount_ && (buckets_ || count_ == 1)) {
    GrowIndex();
  } else {
    Index(p);
  }
  return p;
}

void ProfileList::Remove(GameProfile* profile) {
  if (!profile || IndexOf(profile) < 0) return;
  Unindex(profile);
  RemoveNode(&profile->node);
  --count_;
  FreeMem(profile);
}

void ProfileList::Free() {
  while (ExecNode* node = RemoveHead(&list_)) FreeMem(node);
  count_ = 0;
  if (buckets_) FreeMem(buckets_);
  buckets_ = nullptr;
  bucketCount_ = 0;
}

// ---- GameProfiles.ini

bool LoadProfilesFrom(GameProfiles& profiles, const char* name) {
  // No file: "Default" comes with the page.
  const ScriptSectionRead section{kProfilesSection, kProfileKeys, ReadProfileLine};
  // The profiles read are what the file holds: no change to write back.
  const uint32_t changes = profiles.changes;
  const StartRead read = ReadScriptSectionsAtStart(name, &section, 1, &profiles);
  profiles.changes = changes;
  profiles.leaveFileAlone = read == StartRead::kUnreadableLeaveAlone;
  return read == StartRead::kRead;
}

bool SaveProfilesTo(const GameProfiles& profiles, const char* name) {
  if (profiles.leaveFileAlone) {
    LogPrintf(0, "SaveProfiles: %s not written: it could not be read at start\n", name);
    return false;
  }
  return WriteScriptSection(name, kProfilesSection, AddProfileKeys, &profiles);
}

void GameProfiles::LoadProfiles() { LoadProfilesFrom(*this, kProfilesFile); }

void GameProfiles::SaveProfiles() { SaveProfilesTo(*this, kProfilesFile); }

void GameProfiles::FreeProfiles() { list.Free(); }
