// Wheel link figures against the stand-in board on a pseudo-terminal:
//   - the bulk read's wall time against its floor of 69 pauses of 5 ms
//     (target: at most 1.10 times the floor),
//   - the processor share of the user-interface thread while it waits: a
//     failed probe (500 ms without a reply) and a bulk read (target: < 5 %).
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/control_panel.h"
#include "exec/os.h"
#include "exec/com_port_paths_posix.h"
#include "standin_board/standin_host_posix.h"

namespace {

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Sample {
  double wallMs, cpuMs, processCpuMs;
};

template <class F>
Sample Measure(F f) {
  const uint64_t w0 = os::MonotonicUs();
  const double c0 = ThreadCpuMs(), p0 = ProcessCpuMs();
  f();
  return Sample{(os::MonotonicUs() - w0) / 1e3, ThreadCpuMs() - c0, ProcessCpuMs() - p0};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  char dir[] = "/tmp/ts_bench_wheel_XXXXXX";
  if (!mkdtemp(dir)) return 1;
  SetComPortDirectory(dir);
  StandinHostOptions options;
  options.link = std::string(dir) + "/COM7";
  StandinHost host(options);
  if (!host.Start()) return 1;

  ControlPanel panel;
  panel.link.statusHold = false;
  if (!panel.link.ProbeWheel(7)) {
    std::fprintf(stderr, "bench_wheel: no handshake with the stand-in board\n");
    return 1;
  }

  const int kRuns = 10;
  const double kFloorMs = 69 * 5.0;
  std::vector<double> ratios, shares;
  double worstRatio = 0;
  for (int i = 0; i < kRuns; ++i) {
    Sample s = Measure([&] { panel.link.ReadAllParameters(); });
    ratios.push_back(s.wallMs / kFloorMs);
    shares.push_back(100.0 * s.cpuMs / s.wallMs);
    worstRatio = std::max(worstRatio, s.wallMs / kFloorMs);
    if (i == 0) {
      std::printf("bulk read, first run: %.1f ms wall, %.2f ms thread CPU, %.2f ms process CPU (board included)\n",
                  s.wallMs, s.cpuMs, s.processCpuMs);
    }
  }
  std::printf("bulk read over %d runs: wall / 345 ms floor median %.3f, worst %.3f (target <= 1.10)\n", kRuns,
              Median(ratios), worstRatio);
  std::printf("bulk read CPU share of the calling thread: median %.2f %%, worst %.2f %% (target < 5 %%)\n",
              Median(shares), *std::max_element(shares.begin(), shares.end()));

  host.Control("silent on");
  std::vector<double> probeShares;
  double probeWall = 0;
  for (int i = 0; i < 3; ++i) {
    Sample s = Measure([&] { panel.link.ProbeWheel(7); });
    probeShares.push_back(100.0 * s.cpuMs / s.wallMs);
    probeWall = std::max(probeWall, s.wallMs);
  }
  std::printf("failed probe: longest %.1f ms wall (window 500 ms), CPU share median %.2f %%, worst %.2f %% (target < 5 %%)\n",
              probeWall, Median(probeShares), *std::max_element(probeShares.begin(), probeShares.end()));

  host.Stop();
  SetComPortDirectory(nullptr);
  unlink((std::string(dir) + "/COM7").c_str());
  rmdir(dir);
  return 0;
}
