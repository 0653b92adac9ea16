// Native hosts have no drive letters: the drive list exists but stays empty, so
// code that walks it behaves as on a Windows machine without examinable drives.
#include "exec/file.h"

bool SetupDriveList() {
  DriveSource none{nullptr, nullptr, nullptr};
  return SetupDriveListFrom(&none);
}
