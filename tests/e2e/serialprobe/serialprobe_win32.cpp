// serialprobe: the wheel link's Windows serial channel and protocol logic in
// a console program, for the end-to-end scenarios against the stand-in board
// (COM port = a Wine device link to its pseudo-terminal).
//
//   serialprobe handshake N        probe COM N; prints "found" or "not found"
//   serialprobe readall N          probe, bulk read; prints "param=value" lines
//   serialprobe write N P V        probe, write value V to parameter P (entry size)
//   serialprobe status N [K]       K status refreshes 1 s apart; prints the texts shown
//   serialprobe list [CURRENT]     the port list: "text data" lines, then "selected I"
//   serialprobe hold N SECONDS     keep COM N open (exclusive) for a while
//   serialprobe reset N            open COM N at 1200 baud and close it
// Exit code 0 when the command did what it says, 1 otherwise, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/control_panel.h"
#include "ui/dialog_controls.h"
#include "wheel/com_ports.h"
#include "exec/deadline.h"
#include "exec/os.h"
#include "wheel/serial_channel.h"
#include "wheel/wheel_link.h"

namespace {

class PrintingDialog : public DialogControls {
 public:
  void SetItemText(int id, const char* text) override {
    std::printf("text %d %s\n", id, text);
    std::fflush(stdout);
  }
  void ResetCombo(int) override { items = 0; }
  int AddComboItem(int, const char* text, intptr_t data) override {
    std::printf("item %s %lld\n", text, static_cast<long long>(data));
    return items++;
  }
  void SelectComboItem(int, int index) override { std::printf("selected %d\n", index); }
  void SetSliderPos(int id, int32_t position) override { std::printf("slider %d %d\n", id, position); }
  int items = 0;
};

int Usage() {
  std::fprintf(stderr, "usage: serialprobe handshake|readall|write|status|list|hold|reset ...\n");
  return 2;
}

int Number(const char* text) { return static_cast<int>(std::strtol(text, nullptr, 0)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  static ControlPanel panel;  // lives as long as the program, like the real one
  static PrintingDialog page;
  panel.link.statusHold = false;
  panel.mainPageView.page = &page;

  if (command == "list") {
    FillComPortList(page, 1041, static_cast<uint8_t>(argc > 2 ? Number(argv[2]) : 0));
    return 0;
  }
  if (argc < 3) return Usage();
  const int port = Number(argv[2]);

  if (command == "hold") {
    SerialChannel channel;
    if (!channel.Open(port, 115200)) {
      std::printf("cannot open COM%d\n", port);
      return 1;
    }
    std::printf("holding COM%d\n", port);
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(argc > 3 ? Number(argv[3]) : 10) * 1000u);
    return 0;
  }
  if (command == "reset") {
    SerialChannel channel;
    if (!channel.Open(port, 1200)) return 1;
    channel.Close();
    std::printf("reset COM%d\n", port);
    return 0;
  }

  if (command == "status") {
    panel.link.wheelPort = static_cast<uint8_t>(port);
    const int count = argc > 3 ? Number(argv[3]) : 1;
    for (int i = 0; i < count; ++i) {
      if (i > 0) Sleep(1000);  // the program refreshes about once a second
      panel.RefreshStatus();
      // As the program's tick does: a handshake the refresh sent takes its
      // reply over the next ticks.
      while (panel.link.ProbePending()) {
        Sleep(33);
        panel.link.ContinueProbe();
      }
      std::printf("state %s\n", LinkStateText(panel.link.linkState));
      std::fflush(stdout);
    }
    return panel.link.linkState >= kWheelFound ? 0 : 1;
  }

  const uint64_t start = os::MonotonicUs();
  const bool found = panel.link.ProbeWheel(port) == 1;
  std::printf("%s\n", found ? "found" : "not found");
  std::printf("probe took %u ms\n", static_cast<unsigned>((os::MonotonicUs() - start) / 1000));
  if (!found) return 1;
  if (command == "handshake") return 0;
  if (command == "readall") {
    panel.link.ReadAllParameters();
    for (const WheelParameter& e : panel.link.parameters.entries) {
      if (e.number != kNotABoardParameter && e.number != 254) std::printf("%d=%d\n", e.number, e.value);
    }
    for (int i = 0; i < kMappingByteCount; ++i) std::printf("%d=%d\n", 36 + i, panel.link.parameters.mapping[i]);
    for (int j = 0; j < kAnalogCount; ++j) {
      std::printf("%d=%d\n", 72 + j, panel.link.parameters.analogSettings[j]);
      std::printf("%d=%d\n", 80 + 2 * j, panel.link.parameters.analogCurves[j].value);
    }
    std::printf("25=%d\n", panel.link.parameters.externalGainMarker);
    return 0;
  }
  if (command == "write" && argc > 4) {
    WheelParameter* entry = panel.link.parameters.Find(static_cast<uint8_t>(Number(argv[3])));
    if (!entry) {
      std::printf("no entry for parameter %s\n", argv[3]);
      return 1;
    }
    entry->value = Number(argv[4]);
    panel.link.WriteParameter(*entry);
    return 0;
  }
  return Usage();
}
