// Finding windows and the commands that act on whole windows.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "driver_win32.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

constexpr UINT kSendTimeoutMs = 2000;
constexpr int kMessageBoxTextId = 0xFFFF;

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

struct Search {
  std::string selector;
  std::wstring contains;
  HWND found = nullptr;
};

// A message box holds only statics (icon, text 65535) and buttons; dialogs
// whose labels also use 65535 have other controls too, or no buttons.
bool OnlyStaticsAndButtons(HWND window) {
  int buttons = 0;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    std::wstring kind = ClassOf(child);
    if (kind == L"Button") {
      ++buttons;
    } else if (kind != L"Static") {
      return false;
    }
  }
  return buttons > 0;
}

bool IsMessageBox(HWND window, const std::wstring& contains) {
  if (ClassOf(window) != L"#32770") return false;
  HWND text = GetDlgItem(window, kMessageBoxTextId);
  if (text == nullptr || ClassOf(text) != L"Static" || !OnlyStaticsAndButtons(window)) return false;
  std::wstring value;
  if (!ControlText(text, &value)) return false;
  return contains.empty() || value.find(contains) != std::wstring::npos;
}

bool Matches(HWND window, const std::string& selector) {
  if (selector == "msgbox") return IsMessageBox(window, L"");
  if (selector.compare(0, 6, "class:") == 0) return ClassOf(window) == Widen(selector.substr(6));
  std::wstring wanted = Widen(selector);
  return StartsWith(TitleOf(window), wanted) || ClassOf(window) == wanted;
}

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window) || !Matches(window, search->selector)) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK MatchMessageBox(HWND window, LPARAM data) {
  Search* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window) || !IsMessageBox(window, search->contains)) return TRUE;
  search->found = window;
  return FALSE;
}

struct ControlSearch {
  int id;
  HWND found = nullptr;
};

BOOL CALLBACK MatchControl(HWND window, LPARAM data) {
  ControlSearch* search = reinterpret_cast<ControlSearch*>(data);
  if (GetDlgCtrlID(window) != search->id) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK PrintTopLevel(HWND window, LPARAM) {
  if (!IsWindowVisible(window)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char line[64];
  snprintf(line, sizeof(line), "%p pid=%lu ", static_cast<void*>(window), pid);
  PrintLine(line + Narrow(ClassOf(window)) + " \"" + Narrow(TitleOf(window)) + "\"");
  return TRUE;
}

// ---- commands

int WaitWindow(Context& context, const Args& args) {
  DWORD timeout = context.timeoutMs;
  if (args.size() > 1 && !ParseSeconds(args[1], &timeout)) return kUsage;
  HWND window = WaitTopLevel(args[0], timeout);
  if (window == nullptr) {
    PrintError("wait-window", "no visible window \"" + args[0] + "\"");
    return kFailed;
  }
  context.target = args[0];
  char line[32];
  snprintf(line, sizeof(line), "%p", static_cast<void*>(window));
  PrintLine(line);
  return kOk;
}

int WaitGone(Context& context, const Args& args) {
  DWORD timeout = context.timeoutMs;
  if (args.size() > 1 && !ParseSeconds(args[1], &timeout)) return kUsage;
  auto shown = [&] {
    HWND window = FindTopLevel(args[0]);
    return window != nullptr && IsWindowVisible(window);
  };
  if (!WaitUntil(timeout, [&] { return !shown(); })) {
    PrintError("wait-gone", "window \"" + args[0] + "\" still shown");
    return kFailed;
  }
  return kOk;
}

int IsShown(Context& context, const Args&) {
  HWND window = FindTopLevel(context.target);
  PrintLine(window != nullptr && IsWindowVisible(window) ? "1" : "0");
  return kOk;
}

int GetTitle(Context& context, const Args&) {
  HWND window = Target(context, "get-title");
  if (window == nullptr) return kFailed;
  PrintLine(Narrow(TitleOf(window)));
  return kOk;
}

int WindowRect(Context& context, const Args&) {
  HWND window = Target(context, "window-rect");
  if (window == nullptr) return kFailed;
  RECT rect{}, client{};
  GetWindowRect(window, &rect);
  GetClientRect(window, &client);
  char line[128];
  snprintf(line, sizeof(line), "%ld %ld %ld %ld %ld %ld", rect.left, rect.top,
           rect.right - rect.left, rect.bottom - rect.top, client.right, client.bottom);
  PrintLine(line);
  return kOk;
}

// Where the target's client area begins on the screen: a screenshot's pixel
// of client point (x, y) is at this origin plus (x, y).
int ClientOrigin(Context& context, const Args&) {
  HWND window = Target(context, "client-origin");
  if (window == nullptr) return kFailed;
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  char line[64];
  snprintf(line, sizeof(line), "%ld %ld", origin.x, origin.y);
  PrintLine(line);
  return kOk;
}

// Posts key-down and key-up to the focused control of the target's thread
// (or the target itself): the program's message loop sees them like typing.
int SendKey(Context& context, const Args& args) {
  long vk = 0;
  if (args[0] == "ESCAPE" || args[0] == "ESC") {
    vk = VK_ESCAPE;
  } else if (args[0] == "RETURN" || args[0] == "ENTER") {
    vk = VK_RETURN;
  } else if (args[0] == "TAB") {
    vk = VK_TAB;
  } else if (!ParseInt(args[0], &vk) || vk <= 0 || vk > 0xFE) {
    PrintError("send-key", "bad key " + args[0]);
    return kUsage;
  }
  HWND window = Target(context, "send-key");
  if (window == nullptr) return kFailed;
  HWND receiver = window;
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus &&
      (info.hwndFocus == window || IsChild(window, info.hwndFocus))) {
    receiver = info.hwndFocus;
  }
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), 0)) << 16;
  PostMessageW(receiver, WM_KEYDOWN, static_cast<WPARAM>(vk), scan | 1);
  PostMessageW(receiver, WM_KEYUP, static_cast<WPARAM>(vk), scan | 1 | (3u << 30));
  return kOk;
}

int PostSysCommand(Context& context, const char* command, WPARAM which) {
  HWND window = Target(context, command);
  if (window == nullptr) return kFailed;
  PostMessageW(window, WM_SYSCOMMAND, which, 0);
  return kOk;
}

// What the caption's close box does.
int Close(Context& context, const Args&) { return PostSysCommand(context, "close", SC_CLOSE); }
int Minimize(Context& context, const Args&) { return PostSysCommand(context, "minimize", SC_MINIMIZE); }

// Windows live in one desktop; a program started with
// "explorer /desktop=NAME,WxH" lives in that desktop's, which the driver
// sees only after it moved its own thread there (it has no windows to keep
// it where it was). Lasts for the rest of the driver's run.
int UseDesktop(Context&, const Args& args) {
  HDESK desktop = nullptr;
  WaitUntil(10000, [&] {
    desktop = OpenDesktopW(Widen(args[0]).c_str(), 0, FALSE, GENERIC_ALL);
    return desktop != nullptr;
  });
  if (desktop == nullptr || !SetThreadDesktop(desktop)) {
    PrintError("use-desktop", "cannot move to desktop " + args[0]);
    return kFailed;
  }
  return kOk;
}

// What a click on the taskbar button of a minimised window does.
int Restore(Context& context, const Args&) { return PostSysCommand(context, "restore", SC_RESTORE); }

int MoveCursor(Context&, const Args& args) {
  long x = 0, y = 0;
  if (!ParseInt(args[0], &x) || !ParseInt(args[1], &y)) return kUsage;
  if (!SetCursorPos(static_cast<int>(x), static_cast<int>(y))) {
    PrintError("move-cursor", "SetCursorPos failed");
    return kFailed;
  }
  return kOk;
}

int PostCommand(Context& context, const Args& args) {
  long id = 0;
  if (!ParseInt(args[0], &id)) return kUsage;
  HWND window = Target(context, "post-command");
  if (window == nullptr) return kFailed;
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  return kOk;
}

int FindMsgBox(Context& context, const Args& args) {
  DWORD timeout = context.timeoutMs;
  if (!args.empty() && !ParseSeconds(args[0], &timeout)) return kUsage;
  std::wstring contains = args.size() > 1 ? Widen(args[1]) : L"";
  HWND box = nullptr;
  WaitUntil(timeout, [&] { return (box = FindMessageBox(contains)) != nullptr; });
  std::wstring text;
  if (box == nullptr || !ControlText(GetDlgItem(box, kMessageBoxTextId), &text)) {
    PrintError("find-msgbox", "no message box");
    return kFailed;
  }
  context.target = "msgbox";
  PrintLine(Narrow(text));
  return kOk;
}

int ClickMsgBox(Context& context, const Args& args) {
  static const struct { const char* name; int id; } kButtons[] = {
      {"IDOK", IDOK}, {"IDCANCEL", IDCANCEL}, {"IDYES", IDYES}, {"IDNO", IDNO},
      {"IDRETRY", IDRETRY}, {"IDABORT", IDABORT}, {"IDIGNORE", IDIGNORE}};
  long id = -1;
  for (const auto& button : kButtons) {
    if (args[0] == button.name) id = button.id;
  }
  if (id < 0 && !ParseInt(args[0], &id)) {
    PrintError("click-msgbox", "bad button " + args[0]);
    return kUsage;
  }
  std::wstring contains = args.size() > 1 ? Widen(args[1]) : L"";
  HWND box = nullptr;
  if (!WaitUntil(context.timeoutMs, [&] { return (box = FindMessageBox(contains)) != nullptr; })) {
    PrintError("click-msgbox", "no message box");
    return kFailed;
  }
  HWND button = GetDlgItem(box, static_cast<int>(id));
  if (button == nullptr) {
    PrintError("click-msgbox", "the box has no button " + args[0]);
    return kFailed;
  }
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  if (!WaitUntil(context.timeoutMs, [&] { return !IsWindow(box) || !IsWindowVisible(box); })) {
    PrintError("click-msgbox", "the box stayed open");
    return kFailed;
  }
  return kOk;
}

int ListWindows(Context&, const Args&) {
  EnumWindows(PrintTopLevel, 0);
  return kOk;
}

// The child dialogs (pages) of a frame, top to bottom.
std::vector<HWND> PagesOf(HWND top) {
  std::vector<std::pair<LONG, HWND>> pages;
  for (HWND child = GetWindow(top, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) != L"#32770") continue;
    RECT rect{};
    GetWindowRect(child, &rect);
    pages.push_back({rect.top, child});
  }
  std::sort(pages.begin(), pages.end());
  std::vector<HWND> out;
  for (const auto& page : pages) out.push_back(page.second);
  return out;
}

// The child dialogs (pages) of the target, top to bottom: "x y width height"
// in the target's client coordinates.
int ListPages(Context& context, const Args&) {
  HWND top = Target(context, "list-pages");
  if (top == nullptr) return kFailed;
  for (HWND page : PagesOf(top)) {
    RECT r{};
    GetWindowRect(page, &r);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    char line[96];
    snprintf(line, sizeof(line), "%ld %ld %ld %ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
    PrintLine(line);
  }
  return kOk;
}

struct HiddenSearch {
  std::wstring className;
  HWND found = nullptr;
};

BOOL CALLBACK MatchAnyTopLevel(HWND window, LPARAM data) {
  HiddenSearch* search = reinterpret_cast<HiddenSearch*>(data);
  if (ClassOf(window) != search->className) return TRUE;
  search->found = window;
  return FALSE;
}

// Windows that are never shown (the tray's message window) by class name.
int FindHidden(Context& context, const Args& args) {
  if (args[0].compare(0, 6, "class:") != 0) return kUsage;
  DWORD timeout = context.timeoutMs;
  if (args.size() > 1 && !ParseSeconds(args[1], &timeout)) return kUsage;
  HiddenSearch search;
  search.className = Widen(args[0].substr(6));
  WaitUntil(timeout, [&] {
    search.found = nullptr;
    EnumWindows(MatchAnyTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  if (search.found == nullptr) {
    PrintError("find-hidden", "no window of " + args[0]);
    return kFailed;
  }
  char line[32];
  snprintf(line, sizeof(line), "%p", static_cast<void*>(search.found));
  PrintLine(line);
  return kOk;
}

// MSG is a number or "registered:NAME" (RegisterWindowMessage gives every
// process the same number for a name).
int PostMessageCommand(Context& context, const Args& args) {
  long message = 0, wParam = 0, lParam = 0;
  if (args[0].compare(0, 11, "registered:") == 0) {
    message = static_cast<long>(RegisterWindowMessageW(Widen(args[0].substr(11)).c_str()));
  } else if (!ParseInt(args[0], &message)) {
    return kUsage;
  }
  if (message == 0 || !ParseInt(args[1], &wParam) || !ParseInt(args[2], &lParam)) return kUsage;
  HWND window = Target(context, "post-message");
  if (window == nullptr) return kFailed;
  if (!PostMessageW(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                    static_cast<LPARAM>(lParam))) {
    PrintError("post-message", "the post failed");
    return kFailed;
  }
  return kOk;
}

// Whether the notification area holds icon ID of window HANDLE: a modify that
// changes nothing succeeds only for an icon the shell knows. The handle may
// name a window that is gone: its icon must be gone too.
int TrayIcon(Context&, const Args& args) {
  long id = 0;
  if (args[0].compare(0, 2, "0x") != 0 || !ParseInt(args[1], &id)) return kUsage;
  HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(args[0].c_str(), nullptr, 16)));
  NOTIFYICONDATAW record{};
  record.cbSize = NOTIFYICONDATAW_V3_SIZE;
  record.hWnd = window;
  record.uID = static_cast<UINT>(id);
  record.uFlags = 0;
  PrintLine(Shell_NotifyIconW(NIM_MODIFY, &record) ? "1" : "0");
  return kOk;
}

// Plays a notification area that refuses every icon for SECONDS: the shell's
// icon calls go to the first window of class "Shell_TrayWnd", which this one
// is while it lives (the newest window is on top), and a window that leaves
// WM_COPYDATA to the default answers FALSE. Prints "ready" once it is up.
int RefuseTray(Context&, const Args& args) {
  DWORD ms = 0;
  if (!ParseSeconds(args[0], &ms)) return kUsage;
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"Shell_TrayWnd";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                wc.hInstance, nullptr);
  if (window == nullptr) {
    PrintError("refuse-tray", "cannot create the window");
    return kFailed;
  }
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  PrintLine("ready");
  fflush(stdout);
  ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  DestroyWindow(window);
  return kOk;
}

// What the shell reads from a shortcut: the target, its working folder and
// its arguments, one per line.
int ShortcutTarget(Context&, const Args& args) {
  if (FAILED(CoInitialize(nullptr))) return kFailed;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  wchar_t target[MAX_PATH] = L"", folder[MAX_PATH] = L"", arguments[1024] = L"";
  bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                       reinterpret_cast<void**>(&link))) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
            SUCCEEDED(file->Load(Widen(args[0]).c_str(), STGM_READ)) &&
            SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
            SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH)) &&
            SUCCEEDED(link->GetArguments(arguments, 1024));
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  if (!ok) {
    PrintError("shortcut-target", "cannot read " + args[0]);
    return kFailed;
  }
  PrintLine(Narrow(target));
  PrintLine(Narrow(folder));
  PrintLine(Narrow(arguments));
  return kOk;
}

// Takes icon ID of window HANDLE out of the notification area, as a shell
// that restarts loses every icon.
int TrayDelete(Context&, const Args& args) {
  long id = 0;
  if (args[0].compare(0, 2, "0x") != 0 || !ParseInt(args[1], &id)) return kUsage;
  NOTIFYICONDATAW record{};
  record.cbSize = NOTIFYICONDATAW_V3_SIZE;
  record.hWnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(args[0].c_str(), nullptr, 16)));
  record.uID = static_cast<UINT>(id);
  if (!Shell_NotifyIconW(NIM_DELETE, &record)) {
    PrintError("tray-delete", "no such icon");
    return kFailed;
  }
  return kOk;
}

int IsIconic(Context& context, const Args&) {
  HWND window = Target(context, "is-iconic");
  if (window == nullptr) return kFailed;
  PrintLine(::IsIconic(window) ? "1" : "0");
  return kOk;
}

int SleepCommand(Context&, const Args& args) {
  long ms = 0;
  if (!ParseInt(args[0], &ms) || ms < 0) return kUsage;
  Sleep(static_cast<DWORD>(ms));
  return kOk;
}

// Asks the target for an answer every INTERVAL ms (a null message with a time
// bound) for SECONDS and reports how long it made the asker wait: the longest
// wait, how many asks it answered within 100 ms, and the share of the time it
// spent not answering. The window stays the program's: nothing is changed.
int PingWindow(Context& context, const Args& args) {
  DWORD totalMs = 0;
  long intervalMs = 50;
  if (!ParseSeconds(args[0], &totalMs) || (args.size() > 1 && (!ParseInt(args[1], &intervalMs) || intervalMs < 1))) {
    return kUsage;
  }
  HWND window = Target(context, "ping-window");
  if (window == nullptr) return kFailed;
  WindowAsker asker(window);
  double longest = 0, waited = 0;
  long asks = 0, prompt = 0, unanswered = 0;
  while (asker.ElapsedMs() < totalMs) {
    bool answered = false;
    const double wait = asker.Ask(5000, &answered);
    ++asks;
    if (!answered) ++unanswered;
    if (answered && wait <= 100.0) ++prompt;
    longest = wait > longest ? wait : longest;
    waited += wait;
    asker.RestAfter(wait, intervalMs);
  }
  char line[160];
  snprintf(line, sizeof line, "asks %ld longest %.0f ms within-100ms %.1f %% blocked %.1f %% unanswered %ld", asks,
           longest, asks ? 100.0 * prompt / asks : 0.0, 100.0 * waited / asker.ElapsedMs(), unanswered);
  PrintLine(line);
  return kOk;
}

// Watches the target from now until it is gone: asks it for an answer every
// INTERVAL ms and prints a line each time a wait is the longest so far
// ("longest N ms at T s"), so whoever reads the output at any moment knows
// the worst so far. Run in the background beside a scenario; it ends with
// the window.
int WatchWindow(Context& context, const Args& args) {
  long intervalMs = 50;
  if (!args.empty() && (!ParseInt(args[0], &intervalMs) || intervalMs < 1)) return kUsage;
  HWND window = Target(context, "watch-window");
  if (window == nullptr) return kFailed;
  WindowAsker asker(window);
  double longest = -1;
  long asks = 0;
  char line[96];
  while (IsWindow(window)) {
    const double at = asker.ElapsedMs();
    bool answered = false;
    const double wait = asker.Ask(10000, &answered);
    if (!answered && !IsWindow(window)) break;  // gone while asked: not a wait
    ++asks;
    if (wait > longest) {
      longest = wait;
      snprintf(line, sizeof line, "longest %.0f ms at %.1f s", wait, at / 1000.0);
      PrintLine(line);
      fflush(stdout);
    }
    asker.RestAfter(wait, intervalMs);
  }
  snprintf(line, sizeof line, "ended after %ld asks, longest %.0f ms", asks, longest < 0 ? 0.0 : longest);
  PrintLine(line);
  return kOk;
}

}  // namespace

// ---- helpers shared with the control commands

WindowAsker::WindowAsker(HWND window) : window_(window) {
  QueryPerformanceFrequency(&frequency_);
  QueryPerformanceCounter(&start_);
}

double WindowAsker::ElapsedMs() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - start_.QuadPart) * 1000.0 / static_cast<double>(frequency_.QuadPart);
}

double WindowAsker::Ask(DWORD timeoutMs, bool* answered) const {
  const double before = ElapsedMs();
  DWORD_PTR result = 0;
  *answered = SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
  return ElapsedMs() - before;
}

void WindowAsker::RestAfter(double waitMs, long intervalMs) const {
  const double rest = static_cast<double>(intervalMs) - waitMs;
  if (rest > 0) Sleep(static_cast<DWORD>(rest));
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return L"";
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

void PrintLine(const std::string& text) {
  fwrite(text.data(), 1, text.size(), stdout);
  fputc('\n', stdout);
}

void PrintError(const char* command, const std::string& text) {
  fprintf(stderr, "%s: %s\n", command, text.c_str());
}

bool ParseInt(const std::string& text, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long parsed = strtol(text.c_str(), &end, 0);
  if (end == nullptr || *end != 0) return false;
  *value = parsed;
  return true;
}

bool ParseSeconds(const std::string& text, DWORD* ms) {
  char* end = nullptr;
  double seconds = strtod(text.c_str(), &end);
  if (text.empty() || end == nullptr || *end != 0 || seconds < 0 || seconds > 3600) return false;
  *ms = static_cast<DWORD>(seconds * 1000);
  return true;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring TitleOf(HWND window) {
  // GetWindowText of another process's window reads the title without
  // sending it a message, so a busy program cannot stall the driver here.
  wchar_t title[1024] = L"";
  GetWindowTextW(window, title, 1024);
  return title;
}

bool ControlText(HWND window, std::wstring* text) {
  if (window == nullptr) return false;
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length)) {
    return false;
  }
  std::wstring buffer(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return false;
  }
  buffer.resize(copied <= length ? copied : length);
  *text = buffer;
  return true;
}

HWND FindTopLevel(const std::string& selector) {
  if (selector.compare(0, 2, "0x") == 0) {
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(strtoull(selector.c_str(), nullptr, 16)));
    // A handle names the window even while it is hidden (minimised to the
    // tray), so commands can still be posted to it.
    return IsWindow(window) ? window : nullptr;
  }
  Search search;
  search.selector = selector;
  EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitTopLevel(const std::string& selector, DWORD timeoutMs) {
  HWND window = nullptr;
  WaitUntil(timeoutMs, [&] { return (window = FindTopLevel(selector)) != nullptr; });
  return window;
}

HWND Target(Context& context, const char* command) {
  HWND window = WaitTopLevel(context.target, context.timeoutMs);
  if (window == nullptr) PrintError(command, "no visible window \"" + context.target + "\"");
  return window;
}

HWND FindControl(HWND top, int id) {
  ControlSearch search{id};
  EnumChildWindows(top, MatchControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A control id, or "P:ID" for the control ID of the P-th page from the top
// (the main page and the strip share some ids).
HWND TargetControl(Context& context, const char* command, const std::string& idText) {
  long id = 0, page = 0;
  const size_t colon = idText.find(':');
  if (colon != std::string::npos && (!ParseInt(idText.substr(0, colon), &page) || page < 1)) {
    PrintError(command, "bad page in " + idText);
    return nullptr;
  }
  if (!ParseInt(colon == std::string::npos ? idText : idText.substr(colon + 1), &id)) {
    PrintError(command, "bad control id " + idText);
    return nullptr;
  }
  HWND top = Target(context, command);
  if (top == nullptr) return nullptr;
  HWND control = nullptr;
  WaitUntil(context.timeoutMs, [&] {
    HWND within = top;
    if (page > 0) {
      const std::vector<HWND> pages = PagesOf(top);
      if (pages.size() < static_cast<size_t>(page)) return false;
      within = pages[page - 1];
    }
    return (control = FindControl(within, static_cast<int>(id))) != nullptr;
  });
  if (control == nullptr) PrintError(command, "no control " + idText);
  return control;
}

HWND FindMessageBox(const std::wstring& contains) {
  Search search;
  search.contains = contains;
  EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

const Command kWindowCommands[] = {
    {"wait-window", 1, 2, WaitWindow, "SELECTOR [SECONDS]  wait until shown; it becomes the target"},
    {"wait-gone", 1, 2, WaitGone, "SELECTOR [SECONDS]  wait until no such window is shown"},
    {"is-shown", 0, 0, IsShown, "  print 1 when the target is visible, else 0"},
    {"get-title", 0, 0, GetTitle, "  print the target's title"},
    {"window-rect", 0, 0, WindowRect, "  print x y width height client-width client-height"},
    {"client-origin", 0, 0, ClientOrigin, "  print the screen x y of the target's client area"},
    {"send-key", 1, 1, SendKey, "VK|ESCAPE|RETURN|TAB  post key-down/up to the focused control"},
    {"close", 0, 0, Close, "  the caption's close box (SC_CLOSE)"},
    {"minimize", 0, 0, Minimize, "  the caption's minimise box (SC_MINIMIZE)"},
    {"use-desktop", 1, 1, UseDesktop, "NAME  work in that desktop from now on"},
    {"restore", 0, 0, Restore, "  the taskbar's restore of a minimised window (SC_RESTORE)"},
    {"move-cursor", 2, 2, MoveCursor, "X Y  put the mouse cursor there (screen coordinates)"},
    {"post-command", 1, 1, PostCommand, "ID  post WM_COMMAND to the target"},
    {"find-msgbox", 0, 2, FindMsgBox, "[SECONDS [TEXT]]  wait for a message box, print its text"},
    {"click-msgbox", 1, 2, ClickMsgBox, "IDOK|IDYES|IDNO|IDCANCEL|ID [TEXT]  press a box button"},
    {"list-windows", 0, 0, ListWindows, "  print every visible top-level window"},
    {"list-pages", 0, 0, ListPages, "  print x y width height of each child dialog, top to bottom"},
    {"find-hidden", 1, 2, FindHidden, "class:NAME [SECONDS]  print the handle of a window of that class, shown or not"},
    {"post-message", 3, 3, PostMessageCommand, "MSG|registered:NAME WPARAM LPARAM  post a message to the target"},
    {"tray-icon", 2, 2, TrayIcon, "0xHANDLE ID  print 1 when the notification area holds that window's icon ID, else 0"},
    {"refuse-tray", 1, 1, RefuseTray, "SECONDS  be a notification area that takes no icon, for that long"},
    {"shortcut-target", 1, 1, ShortcutTarget, "PATH.lnk  print the shortcut's target, working folder and arguments"},
    {"tray-delete", 2, 2, TrayDelete, "0xHANDLE ID  remove that window's icon from the notification area"},
    {"is-iconic", 0, 0, IsIconic, "  print 1 when the target is minimised, else 0"},
    {"sleep", 1, 1, SleepCommand, "MS  pause"},
    {"watch-window", 0, 1, WatchWindow, "[INTERVAL_MS]  ask the target for an answer every 50 ms until it is gone; print each new longest wait"},
    {"ping-window", 1, 2, PingWindow, "SECONDS [INTERVAL_MS]  ask the target for an answer every 50 ms; print the longest wait"},
    {nullptr, 0, 0, nullptr, nullptr},
};
