// Game detection over a process snapshot.
#include "profiles/game_detection.h"

#include <cstring>

#include "exec/memory.h"
#include "profiles/exe_name_key.h"
#include "profiles/game_profiles.h"

namespace {

uint32_t HashName(const char* text) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    hash = (hash ^ *p) * 16777619u;
  }
  return hash;
}

// Room for the key of a profile's process name (each byte of it may come out
// as up to 3 bytes of UTF-8).
constexpr size_t kProfileKeyMax = 3 * kProfileTextMax + 1;

// False for a profile no process can match (an empty process name).
bool ProfileKey(const GameProfile& profile, char (&key)[kProfileKeyMax]) {
  return profile.processName[0] && ExeNameKey(profile.processName, key, sizeof key) && key[0];
}

// The profiles by the key of their process name, open addressing. A name that
// several profiles share keeps the last of them in list order. The keys lie
// packed in one block, so the index costs what the names take.
struct ProcessIndex {
  struct Entry {
    GameProfile* profile;
    uint32_t key;  // offset of the profile's key in keys
  };
  Entry* slots = nullptr;
  char* keys = nullptr;
  uint32_t mask = 0;

  bool Build(const ProfileList& profiles) {
    uint32_t size = 16;
    while (size < profiles.Count() * 2u && size < 0x40000000u) size <<= 1;
    size_t total = 0;
    char key[kProfileKeyMax];
    for (GameProfile* p = profiles.First(); p; p = ProfileList::Next(p)) {
      if (ProfileKey(*p, key)) total += strlen(key) + 1;
    }
    slots = static_cast<Entry*>(AllocMem(kMainPoolId, size * sizeof(Entry)));
    keys = static_cast<char*>(AllocMem(kMainPoolId, total + 1));
    if (!slots || !keys) return false;
    ClearMem(slots, size * sizeof(Entry));
    mask = size - 1;
    uint32_t used = 0;
    for (GameProfile* p = profiles.First(); p; p = ProfileList::Next(p)) {
      if (!ProfileKey(*p, key)) continue;
      Entry& entry = slots[Slot(key)];
      if (!entry.profile) {
        entry.key = used;
        memcpy(keys + used, key, strlen(key) + 1);
        used += static_cast<uint32_t>(strlen(key) + 1);
      }
      entry.profile = p;
    }
    return true;
  }
  uint32_t Slot(const char* key) const {
    uint32_t i = HashName(key) & mask;
    while (slots[i].profile && strcmp(keys + slots[i].key, key) != 0) i = (i + 1) & mask;
    return i;
  }
  ~ProcessIndex() {
    if (slots) FreeMem(slots);
    if (keys) FreeMem(keys);
  }
};

struct Scan {
  const ProfileList* profiles;
  const ProcessIndex* index;  // null: compare against every profile
  GameProfile* found;
};

void VisitProcess(void* context, const char* exeName) {
  Scan* scan = static_cast<Scan*>(context);
  char key[kExeNameKeyMax];
  if (!exeName || !ExeNameKey(exeName, key, sizeof key) || !key[0]) return;
  if (scan->index) {
    if (GameProfile* p = scan->index->slots[scan->index->Slot(key)].profile) scan->found = p;
    return;
  }
  char profileKey[kProfileKeyMax];
  for (GameProfile* p = scan->profiles->First(); p; p = ProfileList::Next(p)) {
    if (ProfileKey(*p, profileKey) && strcmp(profileKey, key) == 0) {
      scan->found = p;
    }
  }
}

}  // namespace

GameProfile* FindRunningGame(const ProfileList& profiles, ProcessWalker walker) {
  if (profiles.Count() == 0 || !walker) return nullptr;
  ProcessIndex index;
  // Without memory for the index the scan still works, one compare per profile.
  Scan scan{&profiles, index.Build(profiles) ? &index : nullptr, nullptr};
  if (!walker(VisitProcess, &scan)) return nullptr;
  return scan.found;
}

void GameProfiles::DetectGame() {
  const GameProfile* current = CurrentProfile();
  if (!current) return;
  GameProfile* running = FindRunningGame(list, walkProcesses ? walkProcesses : WalkProcesses);
  // Only the outcome of the pass is applied: with two profiled games running,
  // applying each match in turn would rewrite the board twice every pass.
  if (!running || running == current) return;
  SelectProfile(list.IndexOf(running));
}
