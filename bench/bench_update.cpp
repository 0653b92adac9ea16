// Update figures, against the update server on the loopback interface:
//   - FetchText of a 1 MiB body: time per fetch and the most pool memory the
//     fetch holds at once (sampled from another thread while it runs), and the
//     process's peak resident memory;
//   - the window's longest unanswered time during "Check now" against a server
//     that never answers, and against a name server that never answers (the
//     check runs on the thread that would be the window's: its whole length is
//     the time the window cannot answer; target: the 2000 ms bound + 100 ms).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "exec/execlib.h"
#include "exec/memory.h"
#include "exec/os.h"
#include "profiles/settings.h"
#include "script/script_layer.h"
#include "update/http_client.h"
#include "update/updater.h"
#include "update_server/update_server_posix.h"
#include "wheel/wheel_link.h"

namespace {

// Port 80 sent to the server's port; host names answered after a delay.
class BenchSockets : public SocketApi {
 public:
  uint16_t port = 0;
  uint32_t lookUpDelayMs = 0;
  bool LookUpIPv4(const char*, uint32_t* address) override {
    os::SleepMs(lookUpDelayMs);
    *address = 0x0100007F;
    return true;
  }
  int StartConnect(SocketHandle socket, uint32_t address, uint16_t to) override {
    return SocketApi::StartConnect(socket, address, to == 80 ? port : to);
  }
};

class SilentView : public UpdateView {
 public:
  bool Ask(const char*) override { return false; }
  OfferAnswer Offer(const char*, bool) override { return OfferAnswer::kNo; }
  void Inform(const char*) override {}
  bool OpenInBrowser(const char*) override { return false; }
  void Quit() override {}
};

double Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main() {
  char folder[] = "/tmp/ts_bench_update_XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) return 1;
  ExecConfig config;
  std::memset(&config, 0, sizeof config);
  config.mainPoolSize = 0x2000000;  // the program's
  config.memoryOptions = kMemThreadSafe;
  std::snprintf(config.baseDirectory, sizeof config.baseDirectory, "%s/", folder);
  std::snprintf(config.logDirectory, sizeof config.logDirectory, "%s/", folder);
  InstallScriptLayer();
  if (!InitExec(&config)) return 1;

  UpdateServerOptions options;
  options.root = folder;
  options.port = 0;
  UpdateServer server(options);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "bench_update: %s\n", error.c_str());
    return 1;
  }
  static BenchSockets sockets;  // a look-up left behind may still use it at exit
  sockets.port = server.Port();
  server.Control("large 1048576");

  // ---- FetchText of 1 MiB
  const uint64_t idle = AvailPoolMem();
  std::atomic<bool> sampling{true};
  std::atomic<uint64_t> lowest{idle};
  std::thread sampler([&] {
    while (sampling) {
      const uint64_t now = AvailPoolMem();
      if (now < lowest) lowest = now;
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  });
  const int rounds = 20;
  double best = 1e9;
  double total = 0;
  uint32_t length = 0;
  const long rssBefore = PeakRssKiB();
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    char* text = FetchText("127.0.0.1", "firmware.hex", &length, sockets);
    const double ms = Ms(start);
    if (text == nullptr) {
      std::fprintf(stderr, "bench_update: the fetch failed\n");
      return 1;
    }
    FreeMem(text);
    best = std::min(best, ms);
    total += ms;
  }
  sampling = false;
  sampler.join();
  std::printf("FetchText of a %u-byte body over loopback (%d fetches)\n", length, rounds);
  std::printf("  time per fetch: best %.2f ms, mean %.2f ms (%.0f MB/s at the best)\n", best, total / rounds,
              length / best / 1000.0);
  std::printf("  pool memory held at once: %.2f MiB (the response block %u bytes, handed to the caller)\n",
              (idle - lowest) / 1048576.0, kHttpMaxResponse + 1);
  std::printf("  peak resident memory of the process: %ld KiB before, %ld KiB after\n", rssBefore, PeakRssKiB());

  // ---- the window during a check against a silent server / a silent name server
  WheelLink link;
  Settings settings;
  Updater updater(link, settings);
  SilentView view;
  updater.view = &view;
  updater.sockets = &sockets;
  struct Case {
    const char* what;
    const char* host;
    const char* control;
    uint32_t lookUpDelayMs;
  };
  const Case cases[] = {
      {"a server that accepts and never answers", "127.0.0.1", "hang on", 0},
      {"a server that answers after 2.5 s", "127.0.0.1", "late 2500", 0},
      {"a name server that never answers (look-up 10 s)", "updates.example", "normal", 10000},
  };
  std::printf("The window's longest unanswered time during Check now (target <= %u ms)\n", kHttpTimeoutMs + 100);
  for (const Case& c : cases) {
    server.Control("normal");
    server.Control(c.control);
    std::snprintf(settings.updateServer, sizeof settings.updateServer, "%s", c.host);
    sockets.lookUpDelayMs = c.lookUpDelayMs;
    double longest = 0;
    for (int i = 0; i < 3; ++i) {
      const auto start = std::chrono::steady_clock::now();
      updater.CheckForUpdates(false);
      longest = std::max(longest, Ms(start));
    }
    std::printf("  %-50s %.0f ms (longest of 3)\n", c.what, longest);
  }
  server.Stop();
  ExecRemove();
  return 0;
}
