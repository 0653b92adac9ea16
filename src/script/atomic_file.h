#pragma once
// Whole-file replacement that never leaves a half-written file: the new bytes go
// to a temporary file in the same folder, are flushed to the disk, and only then
// take the old file's place. The platform steps live in atomic_file_win32.cpp and
// atomic_file_posix.cpp.
#include <cstddef>

namespace atomic_file {

// Replaces (or creates) the file at path with the given bytes, creating its
// folder when missing. On any failure the old file stays as it was, the
// temporary file is removed, and one line starting with "WriteSection:" is logged.
bool Replace(const char* path, const void* bytes, size_t size);

// The whole file into a new pool block (AllocMem) of *size bytes; null when
// it is missing, unreadable or larger than maxSize (files the user picks are
// read whole before anything of them is used).
char* ReadWhole(const char* path, size_t maxSize, size_t* size);

// ---- platform steps
// False when the file exists but must not be replaced (read-only, or a folder).
bool CanReplace(const char* path);
// Creates the folder and its parents; true when the folder exists afterwards.
bool MakeFolders(const char* folder);
// Writes a new file (truncating one that is there) and flushes it to the disk.
// keepModeOf, when it names an existing file, gives the new file its permissions.
bool WriteFlushed(const char* path, const void* bytes, size_t size, const char* keepModeOf);
// Moves from over to in one step, replacing to.
bool MoveOver(const char* from, const char* to);
void RemoveFile(const char* path);

// Tests make one step fail to see that the old file survives.
enum class Step { kNone, kWrite, kMove };
void FailStepForTest(Step step);

}  // namespace atomic_file
