#pragma once
// Path and text helpers used beside the Script documents and throughout the
// program. Paths use '\' as separator; '/' is accepted where noted.
#include <cstddef>
#include <cstdint>

// The text after the last '\' or '/' (the whole text when there is none).
const char* FileNamePart(const char* path);
// The text before the last '\' (without it); empty when there is none. False
// when it does not fit (out is then empty).
bool FolderPart(const char* path, char* out, size_t capacity);
// Cuts the text at its last '.', unless a '\' comes after that '.'.
void StripExtension(char* path);
// File-name part without its extension. False when it does not fit.
bool BaseName(const char* path, char* out, size_t capacity);
// Appends '\' unless the text already ends with '\' or '/'; false when it would not fit.
bool EnsureTrailingBackslash(char* text, size_t capacity);
// a-z to A-Z in place; other bytes unchanged.
void UpperCaseText(char* text);

// A text owned by the memory manager that is reused while new values fit.
struct OwnedText {
  char* text;         // null until the first assignment
  uint32_t capacity;  // bytes held, terminator included
};
// Reuses the held buffer when the new text is shorter than its capacity,
// otherwise frees it and allocates length + 1. False (old text kept) when no
// memory can be had.
bool AssignText(OwnedText* owned, const char* text, size_t length);
bool AssignText(OwnedText* owned, const char* text);
void FreeText(OwnedText* owned);
