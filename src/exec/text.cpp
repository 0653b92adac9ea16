#include "exec/text.h"

#include <cstring>

#include "exec/memory.h"

namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

char* CopyText(const char* text) {
  if (text == nullptr) text = "";
  const size_t size = strlen(text) + 1;
  char* copy = static_cast<char*>(AllocMem(kMainPoolId, size));
  if (copy != nullptr) memcpy(copy, text, size);
  return copy;
}

bool AppendText(char* buffer, size_t capacity, const char* text) {
  const size_t used = strlen(buffer);
  const size_t add = strlen(text);
  if (used + add + 1 > capacity) return false;
  memcpy(buffer + used, text, add + 1);
  return true;
}

bool SameTextIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}
