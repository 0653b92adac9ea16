// Running processes from a Toolhelp snapshot (processes only). szExeFile holds
// the executable's file name without its folder.
#include <windows.h>
#include <tlhelp32.h>

#include "exec/log.h"
#include "profiles/game_detection.h"

bool WalkProcesses(ProcessVisitor visit, void* context) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) {
    LogPrintf(0, "DetectGame: no process snapshot (error %lu)\n", GetLastError());
    return false;
  }
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    entry.szExeFile[MAX_PATH - 1] = 0;
    visit(context, entry.szExeFile);
  }
  CloseHandle(snapshot);
  return true;
}
