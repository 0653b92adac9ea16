// A windowless program that waits: it keeps Wine's services warm during a test
// run, and, copied as game.exe, stands in for a running game. It ends by itself
// after the number of seconds given as its argument (default 600), so a test
// run that dies cannot leave it behind for long; 0 ends it at once.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  long seconds = 600;
  if (commandLine != nullptr && commandLine[0] != 0) {
    char* end = nullptr;
    long asked = strtol(commandLine, &end, 10);
    if (end != commandLine && asked >= 0) seconds = asked;
  }
  Sleep(static_cast<DWORD>(seconds) * 1000);
  return 0;
}
