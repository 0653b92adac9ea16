// Running processes from /proc: each process's executable file name, taken
// from the first word of its command line (the name it was started under, as
// Toolhelp reports it on Windows), or from its short name when it has none
// (kernel threads, zombies).
#include <dirent.h>

#include <cstdio>
#include <cstring>

#include "profiles/game_detection.h"

namespace {

bool AllDigits(const char* text) {
  if (!*text) return false;
  for (; *text; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

// Reads up to size - 1 bytes of a small /proc file; the text is terminated.
size_t ReadSmallFile(const char* path, char* out, size_t size) {
  FILE* file = fopen(path, "rb");
  if (!file) return 0;
  size_t n = fread(out, 1, size - 1, file);
  fclose(file);
  out[n] = 0;
  return n;
}

void CopyCut(char* out, size_t size, const char* text) {
  size_t n = strlen(text);
  if (n >= size) n = size - 1;
  memcpy(out, text, n);
  out[n] = 0;
}

// The file name part of the process's executable; false when the process has
// gone meanwhile.
bool ExeName(const char* pid, char* out, size_t size) {
  char path[300];
  char text[512];
  snprintf(path, sizeof path, "/proc/%s/cmdline", pid);
  if (ReadSmallFile(path, text, sizeof text) > 0 && text[0]) {
    const char* slash = strrchr(text, '/');  // argv[0] ends at its NUL
    CopyCut(out, size, slash ? slash + 1 : text);
    if (out[0]) return true;
  }
  snprintf(path, sizeof path, "/proc/%s/comm", pid);
  if (ReadSmallFile(path, text, sizeof text) == 0) return false;
  text[strcspn(text, "\n")] = 0;
  CopyCut(out, size, text);
  return out[0] != 0;
}

}  // namespace

bool WalkProcesses(ProcessVisitor visit, void* context) {
  DIR* proc = opendir("/proc");
  if (!proc) return false;
  // Numeric entries come in the kernel's order, which is the closest thing to
  // a snapshot order /proc has.
  while (dirent* entry = readdir(proc)) {
    if (!AllDigits(entry->d_name)) continue;
    char name[260];
    if (ExeName(entry->d_name, name, sizeof name)) visit(context, name);
  }
  closedir(proc);
  return true;
}
