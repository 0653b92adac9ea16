#include "app/program_folder.h"

size_t ProgramFolderLength(const wchar_t* programPath) {
  if (programPath == nullptr) return 0;
  size_t folder = 0;
  for (size_t i = 0; programPath[i] != 0; ++i) {
    // "C:Tillerset.exe" names drive C's current folder: keep the drive.
    if (programPath[i] == L'\\' || programPath[i] == L'/' || (i == 1 && programPath[i] == L':')) {
      folder = i + 1;
    }
  }
  return folder;
}
