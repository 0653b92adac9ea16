#include <windows.h>

#include <cstring>

#include "exec/file.h"

namespace {

uint32_t PresentDrives(void*) {
  // The string list is read as the mask is: some systems only refresh the
  // drive bit mask after the strings have been asked for.
  char strings[512];
  GetLogicalDriveStringsA(sizeof strings, strings);
  return GetLogicalDrives();
}

// GetDriveType reads the type the system keeps; it touches neither the medium
// nor a network server, unlike the volume information read below.
uint32_t DriveTypeOf(void*, uint32_t number) {
  char root[4] = {static_cast<char>('A' + number - 1), ':', '\\', '\0'};
  return GetDriveTypeA(root);
}

// The drive is looked at by its root, never made the current drive: the
// working folder is the program's own, and a folder name the ANSI code page
// cannot hold could not be made current again from an "A" call.
bool ProbeDrive(void*, uint32_t number, DriveProbe* out) {
  char root[4] = {static_cast<char>('A' + number - 1), ':', '\\', '\0'};
  const UINT type = GetDriveTypeA(root);
  if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) return false;
  DWORD flags = 0;
  char label[33] = {};
  if (!GetVolumeInformationA(root, label, sizeof label - 1, nullptr, nullptr, &flags, nullptr, 0)) {
    label[0] = '\0';
    flags = 0;
  }
  strncpy(out->label, label, sizeof out->label - 1);
  out->label[sizeof out->label - 1] = '\0';
  out->fileSystemFlags = flags;
  out->driveType = type;
  return true;
}

}  // namespace

bool SetupDriveList() {
  // An empty card reader or optical drive must not pop up "There is no disk in the drive".
  UINT savedMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  DriveSource source{PresentDrives, ProbeDrive, nullptr, DriveTypeOf};
  bool ok = SetupDriveListFrom(&source);
  SetErrorMode(savedMode);
  return ok;
}
