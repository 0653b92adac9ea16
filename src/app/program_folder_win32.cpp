#include "app/program_folder_win32.h"

#include <vector>

#include "app/program_folder.h"

DWORD UseProgramFolder() {
  // Long enough for any path the system hands out, \\?\ forms included.
  std::vector<wchar_t> path(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0) return GetLastError();
  if (length >= path.size()) return ERROR_INSUFFICIENT_BUFFER;
  size_t folder = ProgramFolderLength(path.data());
  if (folder == 0) return ERROR_BAD_PATHNAME;
  path[folder] = L'\0';
  return SetCurrentDirectoryW(path.data()) ? ERROR_SUCCESS : GetLastError();
}
