// A windowless program that waits: it keeps Wine's services warm during a test
// run, and, copied as game.exe, stands in for a running game. It ends by itself
// after the number of seconds given as its first argument (default 600), so a
// test run that dies cannot leave it behind for long; 0 ends it at once.
// Whatever follows the number is a file made once the desktop window exists:
// Wine starts its desktop for the first program that asks for it, and a
// program whose first window is made while that start is still under way (a
// loaded machine) can be refused its window.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  long seconds = 600;
  const char* ready = nullptr;
  if (commandLine != nullptr && commandLine[0] != 0) {
    char* end = nullptr;
    long asked = strtol(commandLine, &end, 10);
    if (end != commandLine && asked >= 0) seconds = asked;
    if (end != commandLine) {
      while (*end == ' ') ++end;
      if (*end != 0) ready = end;
    }
  }
  if (GetDesktopWindow() != nullptr && ready != nullptr) {
    HANDLE file = CreateFileA(ready, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  Sleep(static_cast<DWORD>(seconds) * 1000);
  return 0;
}
