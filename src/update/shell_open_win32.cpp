#include <windows.h>
#include <shellapi.h>

#include "update/shell_open.h"

bool OpenWithShell(const char* url) {
  // ShellExecute reports success with a value above 32.
  const INT_PTR result = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_HIDE));
  return result > 32;
}
