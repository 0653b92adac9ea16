#include "app/options.h"

namespace {

StartupOptions gOptions;

wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c; }

// True when text is exactly word (lowercase ASCII), ignoring case: "-devx" and
// "-de" do not count as "dev".
bool EqualsOption(const wchar_t* text, const wchar_t* word) {
  size_t i = 0;
  for (; word[i] != 0; ++i) {
    if (LowerAscii(text[i]) != word[i]) return false;  // also stops at text's end
  }
  return text[i] == 0;
}

}  // namespace

StartupOptions ParseStartupOptions(int argc, const wchar_t* const* argv) {
  StartupOptions options;
  if (argv == nullptr) return options;
  for (int i = 1; i < argc; ++i) {
    const wchar_t* arg = argv[i];
    if (arg == nullptr || (arg[0] != L'/' && arg[0] != L'-')) continue;
    const wchar_t* rest = arg + 1;
    if (EqualsOption(rest, L"noxinput")) {
      options.xinputFilter = true;
    } else if (EqualsOption(rest, L"dev")) {
      options.developerMode = true;
    }
  }
  return options;
}

void SetStartupOptions(const StartupOptions& options) { gOptions = options; }
bool DeveloperMode() { return gOptions.developerMode; }
bool XInputFilter() { return gOptions.xinputFilter; }
