// Device commands of ts_driver: fake USB port devices in the prefix's device
// list (SetupAPI), so that the real port lister finds the stand-in board and
// its bootloader the way it finds hardware; and how long the window keeps a
// caller waiting while the program works (an update check, a flash).
#include "driver_win32.h"  // windows.h first: setupapi.h needs it

#include <setupapi.h>

#include <cstring>
#include <cwchar>
#include <vector>

namespace {

const GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// add-port COMn HARDWARE-ID [NAME]
int AddPort(Context&, const Args& args) {
  const std::string& port = args[0];
  const std::string name = args.size() > 2 ? args[2] : "Stand-in port (" + port + ")";
  HDEVINFO set = SetupDiCreateDeviceInfoList(&kPortsClass, nullptr);
  if (set == INVALID_HANDLE_VALUE) {
    PrintError("add-port", "no device list");
    return kFailed;
  }
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof device;
  // The hardware id is a list of strings: the id, then an empty one.
  std::string ids = args[1];
  ids.push_back('\0');
  ids.push_back('\0');
  bool ok = SetupDiCreateDeviceInfoA(set, "PORTS", &kPortsClass, name.c_str(), nullptr, DICD_GENERATE_ID, &device) &&
            SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                              reinterpret_cast<const BYTE*>(ids.data()),
                                              static_cast<DWORD>(ids.size())) &&
            SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME,
                                              reinterpret_cast<const BYTE*>(name.c_str()),
                                              static_cast<DWORD>(name.size() + 1)) &&
            SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr);
  if (ok) {
    HKEY key = SetupDiCreateDevRegKeyA(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
    ok = key != INVALID_HANDLE_VALUE &&
         RegSetValueExA(key, "PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                        static_cast<DWORD>(port.size() + 1)) == ERROR_SUCCESS;
    if (key != INVALID_HANDLE_VALUE) RegCloseKey(key);
  }
  if (!ok) PrintError("add-port", "could not register " + port + " (error " + std::to_string(GetLastError()) + ")");
  SetupDiDestroyDeviceInfoList(set);
  return ok ? kOk : kFailed;
}

// remove-port COMn: every device whose port name it is.
int RemovePort(Context&, const Args& args) {
  HDEVINFO set = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, 0);
  if (set == INVALID_HANDLE_VALUE) {
    PrintError("remove-port", "no device list");
    return kFailed;
  }
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof device;
  int removed = 0;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    char name[64] = "";
    DWORD length = sizeof name - 1;
    DWORD type = 0;
    const bool named = RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &length) ==
                       ERROR_SUCCESS;
    RegCloseKey(key);
    if (named && args[0] == name && SetupDiRemoveDevice(set, &device)) {
      ++removed;
      --i;  // the list closed up behind the removed device
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  PrintLine(std::to_string(removed));
  return removed > 0 ? kOk : kFailed;
}

// answer-time SECONDS: asks the target window again and again for that long
// (WM_NULL, each ask bounded) and prints the longest wait for an answer in ms.
int AnswerTime(Context& context, const Args& args) {
  DWORD ms = 0;
  if (!ParseSeconds(args[0], &ms)) {
    PrintError("answer-time", "bad duration " + args[0]);
    return kUsage;
  }
  HWND window = Target(context, "answer-time");
  if (window == nullptr) return kFailed;
  WindowAsker asker(window);
  double longest = 0;
  do {
    bool answered = false;
    const double waited = asker.Ask(30000, &answered);
    if (!answered) {
      PrintError("answer-time", "no answer within 30 s");
      return kFailed;
    }
    if (waited > longest) longest = waited;
    asker.RestAfter(0, 10);
  } while (asker.ElapsedMs() < ms);
  PrintLine(std::to_string(static_cast<long>(longest)));
  return kOk;
}

BOOL CALLBACK CollectPage(HWND window, LPARAM data) {
  auto* pages = reinterpret_cast<std::vector<HWND>*>(data);
  wchar_t name[16] = L"";
  GetClassNameW(window, name, 16);
  if (wcscmp(name, L"#32770") == 0) pages->push_back(window);
  return TRUE;
}

// click-page N ID: clicks control ID of the target's Nth page (its child
// dialogs in creation order: 0 the main page, 1 the strip), for the ids that
// stand on both pages.
int ClickPage(Context& context, const Args& args) {
  long index = 0;
  long id = 0;
  if (!ParseInt(args[0], &index) || !ParseInt(args[1], &id)) return kUsage;
  HWND top = Target(context, "click-page");
  if (top == nullptr) return kFailed;
  std::vector<HWND> pages;
  EnumChildWindows(top, CollectPage, reinterpret_cast<LPARAM>(&pages));
  if (index < 0 || static_cast<size_t>(index) >= pages.size()) {
    PrintError("click-page", "no page " + args[0]);
    return kFailed;
  }
  HWND button = GetDlgItem(pages[static_cast<size_t>(index)], static_cast<int>(id));
  if (button == nullptr) {
    PrintError("click-page", "no control " + args[1] + " on page " + args[0]);
    return kFailed;
  }
  PostMessageW(button, BM_CLICK, 0, 0);
  return kOk;
}

}  // namespace

const Command kDeviceCommands[] = {
    {"add-port", 2, 3, AddPort, "COMn HARDWARE-ID [NAME]  register a present port device (for the port lister)"},
    {"remove-port", 1, 1, RemovePort, "COMn  remove the port devices of that name"},
    {"click-page", 2, 2, ClickPage, "N ID  click control ID of the Nth page (0 main page, 1 strip)"},
    {"answer-time", 1, 1, AnswerTime, "SECONDS  the longest the target keeps a caller waiting meanwhile (ms)"},
    {nullptr, 0, 0, nullptr, nullptr},
};
