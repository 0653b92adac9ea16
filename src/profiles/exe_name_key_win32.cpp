// Executable name keys on Windows: the name as the system's ANSI code page
// gives it (Toolhelp, the dialog's fields), upper-cased with the invariant
// locale's simple case mapping, the one the file system's names follow; the
// key is that text in UTF-8, so no letter is lost to the code page.
#include <windows.h>

#include "profiles/exe_name_key.h"

bool ExeNameKey(const char* name, char* out, size_t size) {
  if (size == 0) return false;
  out[0] = 0;
  if (!name || !name[0]) return true;
  wchar_t wide[kExeNameKeyMax];
  const int length = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, static_cast<int>(kExeNameKeyMax));
  if (length <= 0) return false;
  wchar_t upper[kExeNameKeyMax];
  const int mapped = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide, length, upper,
                                   static_cast<int>(kExeNameKeyMax), nullptr, nullptr, 0);
  if (mapped <= 0) return false;
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, upper, mapped, out, static_cast<int>(size), nullptr, nullptr);
  if (bytes <= 0) {
    out[0] = 0;
    return false;
  }
  return true;
}
