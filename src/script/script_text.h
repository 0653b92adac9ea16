#pragma once
// Text helpers of the Script documents: upper-casing and the reusable owned
// text that holds a document's last token. (Path helpers live in exec/file.h.)
#include <cstddef>
#include <cstdint>

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
