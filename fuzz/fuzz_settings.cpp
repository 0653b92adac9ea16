// Fuzz target: config.ini and GameProfiles.ini as the program reads them at
// start (their own key tables and line handlers) and writes them at exit. The
// first byte picks the file; the rest is the file. After the load, a save and
// a second load and save must give the same file (a save is stable), the
// user's other text stays, and every block goes back to the pool.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "exec/log.h"
#include "fuzz_runtime.h"
#include "exec/memory.h"
#include "profiles/game_profiles.h"
#include "profiles/settings.h"
#include "wheel/wheel_link.h"

namespace {

bool StartOnce() {
  static bool started = [] {
    // A folder of the run's own: the files are found in the working folder.
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string folder = std::string(base) + "/ts_fuzz_settings_" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    if (chdir(folder.c_str()) != 0) return false;
    static std::string gone = folder;
    atexit([] {
      if (chdir("/") == 0) rmdir(gone.c_str());  // empty: every input's files are removed
    });
    return StartRuntimeOnce(0x4000000);
  }();
  return started;
}

std::string ReadAll(const char* name) {
  std::string text;
  if (FILE* f = fopen(name, "rb")) {
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, got);
    fclose(f);
  }
  return text;
}

void WriteAll(const char* name, const uint8_t* data, size_t size) {
  FILE* f = fopen(name, "wb");
  if (!f) __builtin_trap();
  if (size && fwrite(data, 1, size, f) != size) __builtin_trap();
  fclose(f);
}

void SettingsRound(const uint8_t* data, size_t size) {
  WriteAll(kSettingsFile, data, size);
  Settings first;
  LoadSettingsFrom(first, kSettingsFile);
  if (!SaveSettingsTo(first, kSettingsFile)) return;  // e.g. a section the writer will not touch
  const std::string saved = ReadAll(kSettingsFile);
  Settings second;
  if (!LoadSettingsFrom(second, kSettingsFile)) __builtin_trap();
  if (second.flags != first.flags || second.wheelPort != first.wheelPort || second.smPort != first.smPort ||
      second.gameProfileId != first.gameProfileId ||
      memcmp(&second.usedDeviceGuid, &first.usedDeviceGuid, sizeof first.usedDeviceGuid) != 0) {
    __builtin_trap();
  }
  if (!SaveSettingsTo(second, kSettingsFile) || ReadAll(kSettingsFile) != saved) __builtin_trap();
}

void ProfilesRound(const uint8_t* data, size_t size) {
  WriteAll(kProfilesFile, data, size);
  WheelLink link;
  GameProfiles first(link);
  first.LoadProfiles();
  first.SaveProfiles();
  const std::string saved = ReadAll(kProfilesFile);
  const uint32_t count = first.list.Count();
  first.FreeProfiles();
  GameProfiles second(link);
  second.LoadProfiles();
  if (second.list.Count() != count) __builtin_trap();
  second.SaveProfiles();
  if (ReadAll(kProfilesFile) != saved) __builtin_trap();
  second.FreeProfiles();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!StartOnce() || size == 0) return 0;
  const uint64_t available = AvailPoolMem();
  if (data[0] & 1) {
    ProfilesRound(data + 1, size - 1);
  } else {
    SettingsRound(data + 1, size - 1);
  }
  unlink(kSettingsFile);
  unlink(kProfilesFile);
  unlink("config.ini.bak");
  unlink("GameProfiles.ini.bak");
  if (AvailPoolMem() != available) __builtin_trap();
  return 0;
}
