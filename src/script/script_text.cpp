#include "script/script_text.h"

#include <cstring>

#include "exec/memory.h"

void UpperCaseText(char* text) {
  for (; *text; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
  }
}

bool AssignText(OwnedText* owned, const char* text, size_t length) {
  if (length >= 0xFFFFFFFFu) return false;
  if (!owned->text || length >= owned->capacity) {
    char* block = static_cast<char*>(AllocMem(kMainPoolId, length + 1));
    if (!block) return false;
    if (owned->text) FreeMem(owned->text);
    owned->text = block;
    owned->capacity = static_cast<uint32_t>(length + 1);
  }
  memmove(owned->text, text, length);
  owned->text[length] = '\0';
  return true;
}

bool AssignText(OwnedText* owned, const char* text) {
  return AssignText(owned, text ? text : "", text ? strlen(text) : 0);
}

void FreeText(OwnedText* owned) {
  if (owned->text) FreeMem(owned->text);
  owned->text = nullptr;
  owned->capacity = 0;
}
