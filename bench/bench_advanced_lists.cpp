// Rebuilding the Advanced Settings dialog's 36 mapping lists after a change
// (target: under 50 ms, so the dialog neither stalls nor flickers):
//   - the opening, where every list is filled from scratch,
//   - a change the way the dialog makes it (a pin picked in one list, written
//     to a board that is not there, then the lists brought up to date in
//     place: only the items that came or went),
//   - the same change when every list is emptied and refilled instead,
//   - the command mode switched to VNH5019 and back (the most items at once).
// Natively the lists live in memory, so the figures are the logic's own cost.
// Built for Windows too (run it under Wine): there the lists are real combo
// boxes in a window, and each figure is given once more with the window
// repainted after the change.
#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <vector>

#include "drive/advanced_settings.h"
#include "drive/drive_link.h"
#include "drive/game_controller.h"
#include "exec/deadline.h"
#include "exec/os.h"
#include "ui/dialog_controls.h"
#include "wheel/wheel_link.h"

#ifdef _WIN32
#include <windows.h>

#include "ui/dialog_controls_win32.h"
#endif

namespace {

class NoController : public GameControllerAxes {
 public:
  uint32_t ObjectMask() override { return 0x0F; }
  void ReadInput() override {}
  int32_t AxisValue(int) override { return 0; }
};

class NullDriveView : public DriveView {
 public:
  void ShowCurrents(const char*, const char*) override {}
  void EnableDriveControls(bool) override {}
};

// The board's 20 ms write pause is the board's, not the lists': not slept here.
class NoSleepClock : public LinkClock {
 public:
  uint64_t NowUs() override { return os::MonotonicUs(); }
  void SleepMs(uint32_t) override {}
};

// Combo boxes in memory.
class MemoryLists : public DialogControls {
 public:
  struct Item {
    char text[16];
    intptr_t data;
  };
  std::map<int, std::vector<Item>> lists;
  std::map<int, int> selection;
  void SetItemText(int, const char*) override {}
  void ResetCombo(int id) override { lists[id].clear(); }
  int AddComboItem(int id, const char* text, intptr_t data) override {
    return InsertComboItem(id, static_cast<int>(lists[id].size()), text, data);
  }
  int InsertComboItem(int id, int index, const char* text, intptr_t data) override {
    Item item{{}, data};
    std::snprintf(item.text, sizeof item.text, "%s", text);
    std::vector<Item>& l = lists[id];
    l.insert(l.begin() + index, item);
    return index;
  }
  void DeleteComboItem(int id, int index) override {
    std::vector<Item>& l = lists[id];
    l.erase(l.begin() + index);
  }
  void SelectComboItem(int id, int index) override { selection[id] = index; }
  void SetSliderPos(int, int32_t) override {}
  int ComboCount(int id) override { return static_cast<int>(lists[id].size()); }
  int ComboSelection(int id) override { return selection.count(id) ? selection[id] : -1; }
  intptr_t ComboItemData(int id, int index) override {
    const std::vector<Item>& l = lists[id];
    return index >= 0 && index < static_cast<int>(l.size()) ? l[index].data : -1;
  }
};

double NowMs() {
  static uint64_t frequency = 0;
  if (frequency == 0 && !os::PerfFrequency(&frequency)) frequency = 1;
  uint64_t counter = 0;
  os::PerfCounter(&counter);
  return static_cast<double>(counter) * 1000.0 / static_cast<double>(frequency);
}

struct Figures {
  std::vector<double> ms;
  void Print(const char* what) {
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double m : ms) sum += m;
    std::printf("%-58s median %7.2f ms  mean %7.2f ms  max %7.2f ms  (%zu runs)\n", what, ms[ms.size() / 2],
                sum / ms.size(), ms.back(), ms.size());
  }
};

// The window's repaint after a change, where there is one.
void (*gRepaint)() = nullptr;

template <typename Step>
double Timed(Step step, bool repaint) {
  const double start = NowMs();
  step();
  if (repaint && gRepaint) gRepaint();
  return NowMs() - start;
}

void Run(DialogControls& dialog, const char* where) {
  NoSleepClock clock;
  WheelLink link;
  link.clock = &clock;
  // The stand-in board's mapping: buttons 1..8 on D0..D7.
  for (int i = 0; i < 8; ++i) link.parameters.mapping[i] = static_cast<int8_t>(i);
  link[kEntryCommandMode].value = kCommandPwmDir;
  NullDriveView view;
  DriveLink drive(link[kEntryTorqueBandwidth], link[kEntryStatisticsWindow], view);
  NoController controller;
  AdvancedSettings settings(link, drive, controller);

  std::printf("-- %s\n", where);
  for (int pass = 0; pass < (gRepaint ? 2 : 1); ++pass) {
    const bool repaint = pass == 1;
    std::mt19937 random(7);
    Figures open, inPlace, refill, mode;
    for (int run = 0; run < 20; ++run) open.ms.push_back(Timed([&] { settings.Init(dialog); }, repaint));
    for (int run = 0; run < 200; ++run) {
      // A pin picked in one list: one of the entries it offers, not its own.
      const int list = static_cast<int>(random() % kMappingListCount);
      const int id = IDC_MAPPING_FIRST + list;
      const int count = dialog.ComboCount(id);
      int index = static_cast<int>(random() % count);
      if (index == dialog.ComboSelection(id)) index = (index + 1) % count;
      dialog.SelectComboItem(id, index);
      inPlace.ms.push_back(Timed([&] { settings.Command(dialog, id, kListSelectionChanged); }, repaint));
      refill.ms.push_back(Timed(
          [&] {
            settings.ForgetShownLists();
            settings.RebuildMappingLists(dialog);
          },
          repaint));
    }
    for (int run = 0; run < 20; ++run) {
      for (int32_t to : {kCommandVnh5019, kCommandPwmDir}) {
        dialog.SelectComboItem(IDC_COMMAND_MODE, to);
        mode.ms.push_back(Timed([&] { settings.Command(dialog, IDC_COMMAND_MODE, kListSelectionChanged); }, repaint));
      }
    }
    const char* suffix = repaint ? " + repaint" : "";
    char what[96];
    std::snprintf(what, sizeof what, "opening (every list filled)%s", suffix);
    open.Print(what);
    std::snprintf(what, sizeof what, "a pin picked, lists updated in place%s", suffix);
    inPlace.Print(what);
    std::snprintf(what, sizeof what, "the same, every list emptied and refilled%s", suffix);
    refill.Print(what);
    std::snprintf(what, sizeof what, "command mode PWM+Dir <-> VNH5019, in place%s", suffix);
    mode.Print(what);
  }
}

}  // namespace

#ifdef _WIN32
namespace {

HWND gWindow = nullptr;

void RepaintWindow() { RedrawWindow(gWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN); }

// The dialog's lists as real combo boxes, laid out like the dialog's.
HWND MakeWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = GetSysColorBrush(COLOR_3DFACE);
  wc.lpszClassName = "BenchAdvancedLists";
  RegisterClassA(&wc);
  HWND window = CreateWindowA(wc.lpszClassName, "bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 400,
                              nullptr, nullptr, wc.hInstance, nullptr);
  auto combo = [&](int id, int x, int y) {
    CreateWindowA("COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, x, y, 78, 240, window,
                  reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), wc.hInstance, nullptr);
  };
  for (int list = 0; list < kMappingListCount; ++list) combo(IDC_MAPPING_FIRST + list, 10 + (list / 8) * 150, 10 + (list % 8) * 24);
  for (int id : {IDC_COMMAND_MODE, IDC_PWM_FREQUENCY, IDC_AXIS_X, IDC_AXIS_Y, IDC_AXIS_Z, IDC_AXIS_RX, IDC_EXTERNAL_GAIN_INPUT}) {
    combo(id, 760, 10 + (id % 8) * 24);
  }
  CreateWindowA("EDIT", "", WS_CHILD | WS_VISIBLE, 760, 220, 78, 20, window,
                reinterpret_cast<HMENU>(static_cast<intptr_t>(IDC_ENCODER_PPR)), wc.hInstance, nullptr);
  UpdateWindow(window);
  return window;
}

}  // namespace
#endif

int main() {
  MemoryLists memory;
  Run(memory, "lists in memory");
#ifdef _WIN32
  gWindow = MakeWindow();
  gRepaint = RepaintWindow;
  WindowDialogControls controls(gWindow);
  Run(controls, "combo boxes in a window");
  DestroyWindow(gWindow);
#endif
  return 0;
}
