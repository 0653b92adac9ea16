// Game profiles: loading and saving GameProfiles.ini (through the resource
// system, as the program does at start-up and exit) and one game-detection
// pass, at several sizes so that a cost growing faster than the count shows.
// The detection pass is also timed with the plain profiles x processes
// comparison that the hash index replaces.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/control_panel.h"
#include "exec/execlib.h"
#include "script/script_layer.h"
#include "exec/memory.h"
#include "profiles/game_detection.h"
#include "profiles/game_profiles.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void MakeProfiles(ControlPanel& panel, int count) {
  char name[64];
  char exe[64];
  for (int i = 0; i < count; ++i) {
    snprintf(name, sizeof name, "Game number %05d", i);
    snprintf(exe, sizeof exe, "game%05d.exe", i);
    GameProfile* p = panel.profiles.CreateProfile(name, exe);
    if (p) p->maxAngle = 180 + i % 1981;
  }
}

// Best of five, milliseconds.
double TimeLoad(int expected) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    ControlPanel panel;
    auto start = std::chrono::steady_clock::now();
    LoadProfilesFrom(panel.profiles, kProfilesFile);
    best = std::min(best, Seconds(start));
    if (panel.profiles.list.Count() != static_cast<uint32_t>(expected)) {
      fprintf(stderr, "bench_profiles: loaded %u, expected %d\n", panel.profiles.list.Count(), expected);
    }
    panel.profiles.FreeProfiles();
  }
  return best * 1e3;
}

double TimeSave(const ControlPanel& panel) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    auto start = std::chrono::steady_clock::now();
    if (!SaveProfilesTo(panel.profiles, kProfilesFile)) fprintf(stderr, "bench_profiles: save failed\n");
    best = std::min(best, Seconds(start));
  }
  return best * 1e3;
}

// A snapshot of processes of which every tenth is a profiled game.
std::vector<std::string> gProcesses;

bool FakeWalk(ProcessVisitor visit, void* context) {
  for (const std::string& name : gProcesses) visit(context, name.c_str());
  return true;
}

void MakeProcesses(int count, int profiles) {
  gProcesses.clear();
  char name[64];
  for (int i = 0; i < count; ++i) {
    if (i % 10 == 0) {
      snprintf(name, sizeof name, "game%05d.exe", (i * 7) % profiles);
    } else {
      snprintf(name, sizeof name, "process%05d.exe", i);
    }
    gProcesses.push_back(name);
  }
}

struct Linear {
  const ProfileList* profiles;
  GameProfile* found;
};

void VisitLinear(void* context, const char* exe) {
  Linear* scan = static_cast<Linear*>(context);
  for (GameProfile* p = scan->profiles->First(); p; p = ProfileList::Next(p)) {
    if (strcmp(p->processName, exe) == 0) scan->found = p;
  }
}

// Microseconds per pass, best of a batch.
template <typename Pass>
double TimePass(Pass pass) {
  double best = 1e9;
  for (int round = 0; round < 20; ++round) {
    auto start = std::chrono::steady_clock::now();
    pass();
    best = std::min(best, Seconds(start));
  }
  return best * 1e6;
}

}  // namespace

int main() {
  char folder[] = "/tmp/ts_bench_profiles_XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) return 1;
  ExecConfig config;
  memset(&config, 0, sizeof config);
  config.mainPoolSize = 0x8000000;
  config.memoryOptions = kMemThreadSafe;
  snprintf(config.baseDirectory, sizeof config.baseDirectory, "%s/", folder);
  snprintf(config.logDirectory, sizeof config.logDirectory, "%s/", folder);
  InstallScriptLayer();
  if (!InitExec(&config)) return 1;

  printf("GameProfiles.ini (target < 50 ms each at 1000 profiles)\n");
  printf("%-9s %-9s %-10s %-10s %-12s %-12s\n", "profiles", "bytes", "load ms", "save ms", "load us/pr", "save us/pr");
  for (int count : {100, 1000, 10000}) {
    ControlPanel panel;
    MakeProfiles(panel, count);
    double save = TimeSave(panel);
    FILE* file = fopen(kProfilesFile, "rb");
    long bytes = 0;
    if (file) {
      fseek(file, 0, SEEK_END);
      bytes = ftell(file);
      fclose(file);
    }
    double load = TimeLoad(count);
    printf("%-9d %-9ld %-10.2f %-10.2f %-12.2f %-12.2f\n", count, bytes, load, save, load * 1e3 / count,
           save * 1e3 / count);
    panel.profiles.FreeProfiles();
  }

  printf("\nDetectGame pass (target < 5 ms at 1000 profiles, 500 processes)\n");
  printf("%-9s %-10s %-14s %-16s\n", "profiles", "processes", "hashed us", "all pairs us");
  const int sizes[][2] = {{10, 200}, {100, 500}, {1000, 500}, {1000, 5000}, {10000, 500}};
  for (const auto& size : sizes) {
    ControlPanel panel;
    MakeProfiles(panel, size[0]);
    MakeProcesses(size[1], size[0]);
    GameProfile* hashed = nullptr;
    double fast = TimePass([&] { hashed = FindRunningGame(panel.profiles.list, FakeWalk); });
    Linear linear{&panel.profiles.list, nullptr};
    double slow = TimePass([&] {
      linear.found = nullptr;
      FakeWalk(VisitLinear, &linear);
    });
    if (hashed != linear.found) fprintf(stderr, "bench_profiles: the two scans disagree\n");
    printf("%-9d %-10d %-14.1f %-16.1f\n", size[0], size[1], fast, slow);
    panel.profiles.FreeProfiles();
  }

  ControlPanel panel;
  MakeProfiles(panel, 1000);
  int processes = 0;
  WalkProcesses([](void* context, const char*) { ++*static_cast<int*>(context); }, &processes);
  double real = TimePass([&] { FindRunningGame(panel.profiles.list, WalkProcesses); });
  printf("\nthis system's snapshot: %d processes, one pass against 1000 profiles %.1f us\n", processes, real);
  panel.profiles.FreeProfiles();

  ExecRemove();
  unlink(kProfilesFile);
  chdir("/");
  rmdir(folder);
  return 0;
}
