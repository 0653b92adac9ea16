#pragma once
// ts_driver: drives the program's windows from another process for the
// end-to-end scenarios. Every wait has a time bound; nothing here blocks on
// the program (reads use SendMessageTimeout, actions are posted).
#include <windows.h>

#include <string>
#include <vector>

// Exit codes of the driver.
constexpr int kOk = 0;
constexpr int kFailed = 1;  // not found, timed out, or a check did not hold
constexpr int kUsage = 2;

struct Context {
  // Which top-level window the commands act on: a title prefix, "class:NAME",
  // "msgbox" (the first message box), or a handle "0x...".
  std::string target = "Kestra Wheel Configuration";
  DWORD timeoutMs = 10000;  // how long commands wait for their window or control
};

using Args = std::vector<std::string>;
using Handler = int (*)(Context& context, const Args& args);

struct Command {
  const char* name;
  int minArgs;
  int maxArgs;
  Handler run;
  const char* usage;
};

// The command tables, one per source file; the dispatcher searches them in order.
extern const Command kWindowCommands[];
extern const Command kControlCommands[];
extern const Command kDeviceCommands[];

// Text helpers.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);
void PrintLine(const std::string& text);
void PrintError(const char* command, const std::string& text);
bool ParseInt(const std::string& text, long* value);  // decimal or 0x hex
bool ParseSeconds(const std::string& text, DWORD* ms);

// Windows.
std::wstring ClassOf(HWND window);
std::wstring TitleOf(HWND window);
// Asks a window for an answer (a null message with a time bound, which its
// thread answers whenever it pumps messages) and times how long it takes.
class WindowAsker {
 public:
  explicit WindowAsker(HWND window);
  double ElapsedMs() const;  // since the asker was made
  // One question: the wait in ms; *answered false when none came in time.
  double Ask(DWORD timeoutMs, bool* answered) const;
  // Sleeps what is left of an interval after a wait.
  void RestAfter(double waitMs, long intervalMs) const;

 private:
  HWND window_;
  LARGE_INTEGER frequency_{};
  LARGE_INTEGER start_{};
};

// Control text through WM_GETTEXT (works across processes), bounded in time.
bool ControlText(HWND window, std::wstring* text);
// The first visible top-level window the selector names, or null.
HWND FindTopLevel(const std::string& selector);
// Polls FindTopLevel until found or timed out.
HWND WaitTopLevel(const std::string& selector, DWORD timeoutMs);
// The context's target window, waited for; prints an error when missing.
HWND Target(Context& context, const char* command);
// A descendant control of top by id (child dialogs are searched too).
HWND FindControl(HWND top, int id);
// Target's control id, waited for; prints an error when missing.
HWND TargetControl(Context& context, const char* command, const std::string& id);
// A message box: class #32770 with a text static 65535; text filter may be empty.
HWND FindMessageBox(const std::wstring& contains);
// Polls the predicate every 20 ms until it holds or timeoutMs pass.
template <typename Predicate>
bool WaitUntil(DWORD timeoutMs, Predicate predicate) {
  ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (predicate()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
}
