#pragma once
// How game detection compares executable file names: as Windows compares file
// names, without regard to case, and for every letter that has an upper-case
// form (an "É" matches an "é"), not only A to Z.
#include <cstddef>

// Room for the key of any name game detection meets (a Windows file name is
// at most 259 characters; its upper-case form in UTF-8 at most 3 bytes each).
constexpr size_t kExeNameKeyMax = 800;

// Writes the key of name into out: two names name the same executable when
// their keys are equal. False when the key does not fit (out is then empty, a
// key no name has).
bool ExeNameKey(const char* name, char* out, size_t size);
