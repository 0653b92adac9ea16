#include "app/options.h"

#include <cstring>

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
    } else if (EqualsOption(rest, L"tray")) {
      options.startInTray = true;
    } else if (EqualsOption(rest, L"profile")) {
      const wchar_t* name = i + 1 < argc ? argv[i + 1] : nullptr;
      if (name == nullptr || name[0] == 0) {
        options.problem = kProfileOptionMissing;
        continue;
      }
      ++i;  // the name is taken even when it looks like an option: "-profile -dev" names a profile
      size_t length = 0;
      while (name[length] != 0) ++length;
      if (length > kOptionProfileMax) {
        options.problem = kProfileOptionTooLong;
        continue;
      }
      for (size_t k = 0; k <= length; ++k) options.profile[k] = name[k];
      options.profileGiven = true;
      options.problem = nullptr;
    }
  }
  return options;
}

bool MakeStartupCommand(const wchar_t* programPath, wchar_t* out, size_t size) {
  static const wchar_t kTail[] = L"\" -tray";
  size_t length = 0;
  while (programPath[length] != 0) ++length;
  const size_t tail = sizeof kTail / sizeof kTail[0];  // with its NUL
  if (length == 0 || 1 + length + tail > size) return false;
  out[0] = L'"';
  for (size_t i = 0; i < length; ++i) out[1 + i] = programPath[i];
  for (size_t i = 0; i < tail; ++i) out[1 + length + i] = kTail[i];
  return true;
}

size_t EncodeForward(ForwardKind kind, const char* profile, char* out) {
  if (kind == ForwardKind::kShow) {
    memcpy(out, "SHOW", 4);
    return 4;
  }
  if (kind != ForwardKind::kProfile || profile == nullptr) return 0;
  const size_t length = strlen(profile);
  if (length == 0 || length > kOptionProfileMax) return 0;
  memcpy(out, "PROFILE", 8);  // with its NUL
  memcpy(out + 8, profile, length);
  return 8 + length;
}

ForwardKind DecodeForward(uintptr_t tag, const void* data, size_t size, char* name) {
  name[0] = 0;
  if (tag != kForwardTag || data == nullptr || size > kForwardMax) return ForwardKind::kInvalid;
  const char* bytes = static_cast<const char*>(data);
  if (size == 4 && memcmp(bytes, "SHOW", 4) == 0) return ForwardKind::kShow;
  if (size <= 8 || memcmp(bytes, "PROFILE", 8) != 0) return ForwardKind::kInvalid;
  const size_t length = size - 8;
  for (size_t i = 0; i < length; ++i) {
    const char c = bytes[8 + i];
    if (c == 0 || c == '\r' || c == '\n' || c == 0x1A) return ForwardKind::kInvalid;
  }
  memcpy(name, bytes + 8, length);
  name[length] = 0;
  return ForwardKind::kProfile;
}

void SetStartupOptions(const StartupOptions& options) { gOptions = options; }
bool DeveloperMode() { return gOptions.developerMode; }
bool XInputFilter() { return gOptions.xinputFilter; }
const StartupOptions& CurrentStartupOptions() { return gOptions; }
