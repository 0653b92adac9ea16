// test_flasher: stands in for avrdude where nothing may be flashed. It
// records the arguments it was started with and a copy of the firmware file
// named in "-Uflash:w:<file>:i", and exits with a chosen code. Tillerset's
// tests put it where the flasher goes (Tools\avrdude.exe); a maker can do the
// same to see what Tillerset would run. Never shipped.
//
// Environment:
//   TS_FLASHER_RECORD  prefix of the record files (default "test_flasher"):
//                      <prefix>.args  one argument per line, argv[0] first
//                      <prefix>.hex   the firmware file as it was given
//                                     (absent when there was none to copy)
//   TS_FLASHER_EXIT    the exit code (default 0)
//   TS_FLASHER_MS      how long it runs, drawing avrdude's progress bars on
//                      its error output as avrdude does (default 0: at once)
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

// avrdude's bars: the device check, then writing (two thirds of the time)
// and verifying, one '#' per 2 %.
void DrawProgress(int totalMs) {
  std::fprintf(stderr, "avrdude: AVR device initialized and ready to accept instructions\n\nReading | ");
  for (int i = 0; i < 50; ++i) std::fputc('#', stderr);
  std::fprintf(stderr, " | 100%% 0.00s\n\navrdude: writing flash (28672 bytes):\n\n");
  const struct {
    const char* name;
    int ms;
  } bars[] = {{"Writing", totalMs * 2 / 3}, {"Reading", totalMs / 3}};
  for (const auto& bar : bars) {
    std::fprintf(stderr, "%s | ", bar.name);
    std::fflush(stderr);
    for (int i = 0; i < 50; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(bar.ms / 50));
      std::fputc('#', stderr);
      std::fflush(stderr);
    }
    std::fprintf(stderr, " | 100%% %d.%02ds\n\n", bar.ms / 1000, bar.ms % 1000 / 10);
  }
  std::fprintf(stderr, "avrdude: 28672 bytes of flash verified\n");
}

bool CopyFile(const std::string& from, const std::string& to) {
  FILE* in = std::fopen(from.c_str(), "rb");
  if (in == nullptr) return false;
  FILE* out = std::fopen(to.c_str(), "wb");
  if (out == nullptr) {
    std::fclose(in);
    return false;
  }
  char buffer[8192];
  size_t got;
  bool ok = true;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) ok = ok && std::fwrite(buffer, 1, got, out) == got;
  std::fclose(in);
  return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  const char* prefixText = std::getenv("TS_FLASHER_RECORD");
  const std::string prefix = prefixText && *prefixText ? prefixText : "test_flasher";
  const char* exitText = std::getenv("TS_FLASHER_EXIT");
  const int exitCode = exitText ? std::atoi(exitText) : 0;

  FILE* args = std::fopen((prefix + ".args").c_str(), "wb");
  std::string firmware;
  for (int i = 0; i < argc; ++i) {
    if (args) std::fprintf(args, "%s\n", argv[i]);
    const char* flash = "-Uflash:w:";
    if (std::strncmp(argv[i], flash, std::strlen(flash)) == 0) {
      firmware = argv[i] + std::strlen(flash);
      const size_t format = firmware.rfind(':');
      if (format != std::string::npos) firmware.resize(format);
    }
  }
  if (args) std::fclose(args);
  std::remove((prefix + ".hex").c_str());
  if (!firmware.empty() && !CopyFile(firmware, prefix + ".hex")) {
    std::fprintf(stderr, "test_flasher: cannot copy %s\n", firmware.c_str());
  }
  const char* msText = std::getenv("TS_FLASHER_MS");
  DrawProgress(msText ? std::atoi(msText) : 0);
  std::printf("test_flasher: %d arguments recorded in %s.args, exit code %d\n", argc, prefix.c_str(), exitCode);
  return exitCode;
}
