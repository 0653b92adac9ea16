// Game detection over a process snapshot.
#include "profiles/game_detection.h"

#include <cstring>

#include "exec/memory.h"
#include "profiles/game_profiles.h"

namespace {

uint32_t HashName(const char* text) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    hash = (hash ^ *p) * 16777619u;
  }
  return hash;
}

// The profiles by process name, open addressing. A name that several profiles
// share keeps the last of them in list order.
struct ProcessIndex {
  GameProfile** slots = nullptr;
  uint32_t mask = 0;

  bool Build(const ProfileList& profiles) {
    uint32_t size = 16;
    while (size < profiles.Count() * 2u && size < 0x40000000u) size <<= 1;
    slots = static_cast<GameProfile**>(AllocMem(kMainPoolId, size * sizeof(GameProfile*)));
    if (!slots) return false;
    ClearMem(slots, size * sizeof(GameProfile*));
    mask = size - 1;
    for (GameProfile* p = profiles.First(); p; p = ProfileList::Next(p)) {
      if (!p->processName[0]) continue;  // no process has an empty name
      GameProfile** slot = Slot(p->processName);
      *slot = p;
    }
    return true;
  }
  GameProfile** Slot(const char* name) const {
    uint32_t i = HashName(name) & mask;
    while (slots[i] && strcmp(slots[i]->processName, name) != 0) i = (i + 1) & mask;
    return &slots[i];
  }
  ~ProcessIndex() {
    if (slots) FreeMem(slots);
  }
};

struct Scan {
  const ProfileList* profiles;
  const ProcessIndex* index;  // null: compare against every profile
  GameProfile* found;
};

void VisitProcess(void* context, const char* exeName) {
  Scan* scan = static_cast<Scan*>(context);
  if (!exeName || !exeName[0]) return;
  if (scan->index) {
    if (GameProfile* p = *scan->index->Slot(exeName)) scan->found = p;
    return;
  }
  for (GameProfile* p = scan->profiles->First(); p; p = ProfileList::Next(p)) {
    if (strcmp(p->processName, exeName) == 0) scan->found = p;
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
