// recorder.exe: stands in for a browser in the scenarios. The prefix's
// HKCR\http\shell\open\command names it, so the shell's "open" of an
// address starts it instead of a browser; it appends its arguments, one per
// line, to recorder.txt beside itself and ends.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  char path[MAX_PATH + 16];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  char* slash = std::strrchr(path, '\\');
  std::strcpy(slash ? slash + 1 : path, "recorder.txt");
  FILE* out = std::fopen(path, "ab");
  if (out == nullptr) return 1;
  for (int i = 1; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
  std::fclose(out);
  return 0;
}
