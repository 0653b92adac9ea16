#include "exec/text.h"

#include <cstdio>

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

namespace {
const char* (*gMemUnitText)(uint32_t) = nullptr;
}  // namespace

void SetMemUnitTexts(const char* (*unitText)(uint32_t index)) { gMemUnitText = unitText; }

char* FormatMemSize(uint32_t count, char* output, size_t outputSize) {
  uint32_t k = 0;
  uint64_t unit = 1;
  while (k < 3 && count >= unit * 1024) {
    unit *= 1024;
    ++k;
  }
  uint64_t whole = count / unit;
  uint64_t rest = count % unit;
  const char* text = gMemUnitText ? gMemUnitText(k) : nullptr;
  if (!text) text = "";
  if (rest == 0) {
    snprintf(output, outputSize, "%d %s", static_cast<int>(whole), text);
  } else {
    snprintf(output, outputSize, "%d.%02d %s", static_cast<int>(whole), static_cast<int>(rest * 100 / unit), text);
  }
  return output;
}
