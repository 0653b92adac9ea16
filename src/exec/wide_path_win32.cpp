#include "exec/wide_path_win32.h"

std::wstring WidePath(const char* utf8) {
  if (utf8 == nullptr || utf8[0] == '\0') return std::wstring();
  const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
  if (count <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, &wide[0], count);
  wide.resize(static_cast<size_t>(count - 1));
  return wide;
}

std::string Utf8Path(const wchar_t* wide) {
  if (wide == nullptr || wide[0] == L'\0') return std::string();
  const int count = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (count <= 0) return std::string();
  std::string utf8(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], count, nullptr, nullptr);
  utf8.resize(static_cast<size_t>(count - 1));
  return utf8;
}
