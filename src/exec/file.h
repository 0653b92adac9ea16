#pragma once
// File layer: the runtime's standard folders, the drive list, the path helpers
// and the few whole-file operations the resource system and the Script reader
// need. Paths are written with '\'; where a separator is looked for, '/' counts
// too. os::OpenFile maps them for the native build.
#include <cstddef>
#include <cstdint>
#include "exec/list.h"

constexpr size_t kPathMax = 512;

// Base directory (config text + '\' when missing) and base + "System\".
// Both null until the resource system has started.
const char* BaseDirectory();
const char* SystemDirectory();
// Called by the resource system start; false when the texts cannot be allocated.
bool SetBaseDirectory(const char* baseDirectory);

// root + '\' (when missing) + "Resources\" + subFolder + '\' (when missing).
// The result is kept as the resource path text (valid until the next call).
const char* ResourcePath(const char* root, const char* subFolder);
// folder + '\' (when missing) + "system.ini", kept as the settings file path text.
const char* SettingsFilePath(const char* folder);
// Releases the four path texts (resource system removal).
void FreePathTexts();

// True when the name starts with "\\" or has ':' as its second character.
bool IsAbsolutePath(const char* path);
// True when the text ends with '\' or '/'.
bool EndsWithSeparator(const char* text);
// Appends '\' unless already there; false (text unchanged) when it would not fit.
bool AppendSeparator(char* text, size_t capacity);
// The text after the last '\' or '/' (the whole text when there is none).
const char* FileNamePart(const char* path);
// The text before the last '\' or '/' (without it); empty when there is none.
// False when it does not fit (out is then empty).
bool FolderPart(const char* path, char* out, size_t capacity);
// Cuts the file-name part at its last '.', when it has one.
void StripExtension(char* path);
// File-name part without its extension. False when it does not fit (out is then empty).
bool BaseName(const char* path, char* out, size_t capacity);

// Creates (or truncates to) an empty file. Failure shows the assert box.
bool VX_CreateFile(const char* path);
// Size in bytes, 0 when the file cannot be opened.
uint32_t FileSize(const char* path);
// The whole file in a new AllocMem block (an empty file gives a minimal block),
// null when it cannot be opened, read or held. The size read is kept for the
// caller in LoadedFileSize() and, when given, *size.
void* LoadFile(const char* path, uint32_t* size = nullptr);
uint32_t LoadedFileSize();
// A byte-for-byte copy of one file into another (created or replaced), in
// small pieces, so a file too big for the pools still copies. False when it
// could not be made whole; no partial copy is left then.
bool CopyFileBytes(const char* from, const char* to);

// Drive list ("Drive list" in "Anchor"): one entry per selectable drive C: to
// the 31st letter. On POSIX hosts there are no drive letters and the list stays
// empty.
struct DriveEntry {
  ExecNode node;  // name = label, type 0, priority 0
  uint32_t reserved;
  uint32_t fileSystemFlags;
  uint32_t driveNumber;  // 1 = A:, 3 = C:
  uint32_t driveType;    // the platform's code
  char label[32];
};

// What the platform tells about one drive it could select.
struct DriveProbe {
  uint32_t fileSystemFlags;
  uint32_t driveType;
  char label[32];
};
// Drive types as the platform reports them; only fixed and removable drives are
// probed: a network drive whose server is away, or an optical drive spinning
// up, can hold the probe (and the program's start) for seconds.
constexpr uint32_t kDriveRemovable = 2;
constexpr uint32_t kDriveFixed = 3;

// Seam for the platform: present-drive bit mask (bit n-1 = drive n), the type
// of drive n (a quick look that touches no medium), and a probe that reads drive
// n's volume by its root (never making it the current drive); false skips it.
struct DriveSource {
  uint32_t (*presentMask)(void* context);
  bool (*probe)(void* context, uint32_t driveNumber, DriveProbe* out);
  void* context;
  uint32_t (*typeOf)(void* context, uint32_t driveNumber) = nullptr;  // null: probe every drive
};

// Builds "Drive list" from the platform (remembers and restores the current drive
// and directory, with critical-error dialogs switched off). Lives in the
// platform file (file_win32.cpp / file_posix.cpp).
bool SetupDriveList();
// The same from a given source (tests).
bool SetupDriveListFrom(const DriveSource* source);
ExecList* DriveList();
void RemoveDriveList();
