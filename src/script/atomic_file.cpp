#include "script/atomic_file.h"

#include <cstring>

#include "exec/file.h"
#include "exec/log.h"

namespace atomic_file {

namespace {

Step gFailStep = Step::kNone;
constexpr char kTempSuffix[] = ".tmp";

}  // namespace

void FailStepForTest(Step step) { gFailStep = step; }

bool Replace(const char* path, const void* bytes, size_t size) {
  size_t length = path ? strlen(path) : 0;
  if (length == 0 || length + sizeof kTempSuffix > kPathMax) {
    LogPrintf(0, "WriteSection: bad file name\n");
    return false;
  }
  if (!CanReplace(path)) {
    LogPrintf(0, "WriteSection: %s is read-only or a folder\n", path);
    return false;
  }
  char folder[kPathMax];
  FolderPart(path, folder, sizeof folder);  // fits: the path itself does
  if (folder[0] && !MakeFolders(folder)) {
    LogPrintf(0, "WriteSection: Could not create folder %s\n", folder);
    return false;
  }
  char temp[kPathMax];
  memcpy(temp, path, length);
  memcpy(temp + length, kTempSuffix, sizeof kTempSuffix);
  if (gFailStep == Step::kWrite || !WriteFlushed(temp, bytes, size, path)) {
    RemoveFile(temp);
    LogPrintf(0, "WriteSection: Could not write %s\n", temp);
    return false;
  }
  if (gFailStep == Step::kMove || !MoveOver(temp, path)) {
    RemoveFile(temp);
    LogPrintf(0, "WriteSection: Could not replace %s\n", path);
    return false;
  }
  return true;
}

}  // namespace atomic_file
