#pragma once
// The runtime's path texts are UTF-8; Windows takes any folder name only in
// UTF-16 (the "A" calls go through the ANSI code page, which cannot hold a
// Cyrillic user name on a Western-locale system). Every path that reaches the
// system goes through these two.
#include <windows.h>

#include <string>

// UTF-8 to UTF-16; empty for a null or an invalid text.
std::wstring WidePath(const char* utf8);
// UTF-16 to UTF-8; empty when the text cannot be converted.
std::string Utf8Path(const wchar_t* wide);
