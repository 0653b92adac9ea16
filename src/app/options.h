#pragma once
// Start-up options of the program: "noxinput" (leave XInput controllers out of
// the gaming-device table), "dev" (developer mode), "tray" (start hidden in
// the notification area) and "profile NAME" (select that profile, here or in
// the copy that runs already), each prefixed "/" or "-".
#include <cstddef>
#include <cstdint>

constexpr size_t kOptionProfileMax = 63;  // as a profile name

struct StartupOptions {
  bool xinputFilter = false;
  bool developerMode = false;
  bool startInTray = false;
  bool profileGiven = false;
  wchar_t profile[kOptionProfileMax + 1] = L"";
  // Set when "profile" came without a usable name; the text says why.
  const char* problem = nullptr;
};

constexpr char kProfileOptionMissing[] =
    "The option -profile needs the name of a profile, for example: Tillerset.exe -profile \"My Game\"";
constexpr char kProfileOptionTooLong[] = "The profile name after -profile is longer than 63 characters";

// Reads the options from a split command line; argv[0] is the program name and
// is skipped. Unknown arguments are ignored.
StartupOptions ParseStartupOptions(int argc, const wchar_t* const* argv);

// The start-up entry's command: the program's path in double quotes, then
// " -tray"; false when it does not fit in size characters.
bool MakeStartupCommand(const wchar_t* programPath, wchar_t* out, size_t size);

// What a second start hands the running copy (WM_COPYDATA to its frame): the
// tag, then "SHOW" or "PROFILE" and a NUL and the profile name (the dialogs'
// code page, without its NUL).
constexpr uintptr_t kForwardTag = 0x54534331;  // "TSC1"
constexpr size_t kForwardMax = 8 + kOptionProfileMax;
enum class ForwardKind { kInvalid, kShow, kProfile };
// The message's bytes into out (kForwardMax bytes); returns its length, 0 when
// the name does not fit.
size_t EncodeForward(ForwardKind kind, const char* profile, char* out);
// Checks what arrived: the tag, the size, the kind, a name of 1 to 63 bytes
// without NUL or line break. kInvalid for anything else; name gets the
// profile's name (kOptionProfileMax + 1 bytes).
ForwardKind DecodeForward(uintptr_t tag, const void* data, size_t size, char* name);

// The program-wide flags, set once at start-up and read by the subsystems.
void SetStartupOptions(const StartupOptions& options);
bool DeveloperMode();
bool XInputFilter();
const StartupOptions& CurrentStartupOptions();
