#include "script/script_text.h"

#include <cstring>

#include "exec/memory.h"

const char* FileNamePart(const char* path) {
  const char* part = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') part = p + 1;
  }
  return part;
}

bool FolderPart(const char* path, char* out, size_t capacity) {
  if (capacity == 0) return false;
  const char* last = strrchr(path, '\\');
  size_t length = last ? static_cast<size_t>(last - path) : 0;
  if (length + 1 > capacity) {
    out[0] = '\0';
    return false;
  }
  memcpy(out, path, length);
  out[length] = '\0';
  return true;
}

void StripExtension(char* path) {
  char* dot = strrchr(path, '.');
  if (dot && !strchr(dot, '\\')) *dot = '\0';
}

bool BaseName(const char* path, char* out, size_t capacity) {
  if (capacity == 0) return false;
  const char* name = FileNamePart(path);
  size_t length = strlen(name);
  if (length + 1 > capacity) {
    out[0] = '\0';
    return false;
  }
  memcpy(out, name, length + 1);
  StripExtension(out);
  return true;
}

bool EnsureTrailingBackslash(char* text, size_t capacity) {
  size_t length = strlen(text);
  if (length > 0 && (text[length - 1] == '\\' || text[length - 1] == '/')) return true;
  if (length + 2 > capacity) return false;
  text[length] = '\\';
  text[length + 1] = '\0';
  return true;
}

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
