#include "exec/file.h"

#include <cstdio>
#include <cstring>

#include "exec/log.h"
#include "exec/memory.h"
#include "exec/os.h"
#include "exec/text.h"

namespace {

char* gBaseDirectory = nullptr;
char* gSystemDirectory = nullptr;
char* gResourcePath = nullptr;
char* gSettingsFilePath = nullptr;
uint32_t gLoadedSize = 0;
ExecList* gDriveList = nullptr;

// Replaces an engine text with a fresh copy; the old text stays when memory runs out.
bool AssignText(char** slot, const char* value) {
  char* copy = CopyText(value);
  if (!copy) return false;
  if (*slot) FreeMem(*slot);
  *slot = copy;
  return true;
}

void FreeText(char** slot) {
  if (*slot) FreeMem(*slot);
  *slot = nullptr;
}

bool CopyInto(char* buffer, size_t capacity, const char* text) {
  buffer[0] = '\0';
  return AppendText(buffer, capacity, text ? text : "");
}

}  // namespace

bool EndsWithSeparator(const char* text) {
  size_t length = text ? strlen(text) : 0;
  return length > 0 && (text[length - 1] == '\\' || text[length - 1] == '/');
}

bool AppendSeparator(char* text, size_t capacity) {
  if (EndsWithSeparator(text)) return true;
  return AppendText(text, capacity, "\\");
}

const char* FileNamePart(const char* path) {
  const char* part = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') part = p + 1;
  }
  return part;
}

bool FolderPart(const char* path, char* out, size_t capacity) {
  if (capacity == 0) return false;
  const char* name = FileNamePart(path);
  const size_t length = name > path ? static_cast<size_t>(name - path) - 1 : 0;
  if (length + 1 > capacity) {
    out[0] = '\0';
    return false;
  }
  memcpy(out, path, length);
  out[length] = '\0';
  return true;
}

void StripExtension(char* path) {
  char* name = path + (FileNamePart(path) - path);
  if (char* dot = strrchr(name, '.')) *dot = '\0';
}

bool BaseName(const char* path, char* out, size_t capacity) {
  if (capacity == 0) return false;
  if (!CopyInto(out, capacity, FileNamePart(path))) return false;
  StripExtension(out);
  return true;
}

bool IsAbsolutePath(const char* path) {
  if (!path || !path[0]) return false;
  if (path[0] == '\\' && path[1] == '\\') return true;
  return path[1] == ':';
}

const char* BaseDirectory() { return gBaseDirectory; }
const char* SystemDirectory() { return gSystemDirectory; }

bool SetBaseDirectory(const char* baseDirectory) {
  char work[kPathMax];
  if (!CopyInto(work, sizeof work, baseDirectory) || !AppendSeparator(work, sizeof work)) {
    LogPrintf(0, "SetBaseDirectory: path too long\n");
    return false;
  }
  if (!AssignText(&gBaseDirectory, work)) return false;
  if (!AppendText(work, sizeof work, "System\\")) {
    LogPrintf(0, "SetBaseDirectory: path too long\n");
    return false;
  }
  return AssignText(&gSystemDirectory, work);
}

const char* ResourcePath(const char* root, const char* subFolder) {
  char work[kPathMax];
  bool fits = CopyInto(work, sizeof work, root) && AppendSeparator(work, sizeof work) &&
              AppendText(work, sizeof work, "Resources\\");
  if (fits && subFolder && subFolder[0]) {
    fits = AppendText(work, sizeof work, subFolder) && AppendSeparator(work, sizeof work);
  }
  if (!fits) {
    LogPrintf(0, "ResourcePath: path too long\n");
    return nullptr;
  }
  if (!AssignText(&gResourcePath, work)) return nullptr;
  return gResourcePath;
}

const char* SettingsFilePath(const char* folder) {
  char work[kPathMax];
  if (!CopyInto(work, sizeof work, folder) || !AppendSeparator(work, sizeof work) ||
      !AppendText(work, sizeof work, "system.ini")) {
    LogPrintf(0, "SettingsFilePath: path too long\n");
    return nullptr;
  }
  if (!AssignText(&gSettingsFilePath, work)) return nullptr;
  return gSettingsFilePath;
}

void FreePathTexts() {
  FreeText(&gBaseDirectory);
  FreeText(&gSystemDirectory);
  FreeText(&gResourcePath);
  FreeText(&gSettingsFilePath);
}

bool VX_CreateFile(const char* path) {
  FILE* file = path ? os::OpenFile(path, "wb") : nullptr;
  if (!file) {
    char message[kPathMax + 64];
    snprintf(message, sizeof message, "VX_CreateFile: Could not create file %s", path ? path : "(null)");
    EXEC_ASSERT_AT("Exec\\File", 181, message);
    return false;
  }
  fclose(file);
  return true;
}

namespace {

// Size by seeking to the end; false for files the 32-bit sizes cannot describe.
bool MeasureOpenFile(FILE* file, uint32_t* size) {
  if (fseek(file, 0, SEEK_END) != 0) return false;
  long end = ftell(file);
  if (end < 0 || static_cast<unsigned long>(end) > 0xFFFFFFF0ul) return false;
  if (fseek(file, 0, SEEK_SET) != 0) return false;
  *size = static_cast<uint32_t>(end);
  return true;
}

}  // namespace

uint32_t FileSize(const char* path) {
  FILE* file = path ? os::OpenFile(path, "rb") : nullptr;
  if (!file) return 0;
  uint32_t size = 0;
  if (!MeasureOpenFile(file, &size)) size = 0;
  fclose(file);
  return size;
}

void* LoadFile(const char* path, uint32_t* size) {
  gLoadedSize = 0;
  if (size) *size = 0;
  FILE* file = path ? os::OpenFile(path, "rb") : nullptr;
  if (!file) return nullptr;
  uint32_t length = 0;
  void* block = nullptr;
  if (MeasureOpenFile(file, &length)) {
    // A file larger than all the memory left cannot be loaded: say so in the
    // log rather than in the allocator's assert box (a settings file grown
    // huge would otherwise greet the user with one at every start).
    if (length > AvailPoolMem()) {
      LogPrintf(0, "LoadFile: %s is %lu bytes, more than the memory left\n", path, static_cast<unsigned long>(length));
    } else {
      block = AllocMem(kMainPoolId, length);
    }
  }
  // A short read (file shrinking under us, read error) must not pass for the whole file.
  if (block && length > 0 && fread(block, 1, length, file) != length) {
    FreeMem(block);
    block = nullptr;
  }
  fclose(file);
  if (!block) return nullptr;
  gLoadedSize = length;
  if (size) *size = length;
  return block;
}

uint32_t LoadedFileSize() { return gLoadedSize; }

bool CopyFileBytes(const char* from, const char* to) {
  if (!from || !to) return false;
  FILE* in = os::OpenFile(from, "rb");
  if (!in) return false;
  FILE* out = os::OpenFile(to, "wb");
  if (!out) {
    fclose(in);
    return false;
  }
  char chunk[16384];
  bool ok = true;
  size_t got;
  while (ok && (got = fread(chunk, 1, sizeof chunk, in)) > 0) ok = fwrite(chunk, 1, got, out) == got;
  ok = ok && !ferror(in);
  fclose(in);
  ok = fclose(out) == 0 && ok;
  if (!ok) std::remove(to);  // nobody should take half a file for the copy
  return ok;
}

bool SetupDriveListFrom(const DriveSource* source) {
  if (!gDriveList) {
    gDriveList = CreateList("Drive list", nullptr, 0);
    if (!gDriveList) return false;
  }
  uint32_t mask = source->presentMask ? source->presentMask(source->context) : 0;
  // A: and B: are floppy letters; examining them would spin up (or prompt for) the drive.
  for (uint32_t number = 3; number <= 31; ++number) {
    if (!(mask & (1u << (number - 1)))) continue;
    if (source->typeOf) {
      const uint32_t type = source->typeOf(source->context, number);
      if (type != kDriveFixed && type != kDriveRemovable) continue;
    }
    DriveProbe probe{};
    if (!source->probe || !source->probe(source->context, number, &probe)) continue;
    DriveEntry* entry = static_cast<DriveEntry*>(AllocMem(kMainPoolId, sizeof(DriveEntry)));
    if (!entry) return false;
    ClearMem(entry, sizeof(DriveEntry));
    AddTail(&gDriveList->list, &entry->node);
    memcpy(entry->label, probe.label, sizeof entry->label);
    entry->label[sizeof entry->label - 1] = '\0';
    entry->node.name = entry->label;
    entry->fileSystemFlags = probe.fileSystemFlags;
    entry->driveNumber = number;
    entry->driveType = probe.driveType;
  }
  return true;
}

ExecList* DriveList() { return gDriveList; }

void RemoveDriveList() {
  if (!gDriveList) return;
  EmptyList(gDriveList, true);
  RemoveNode(&gDriveList->node);
  FreeMem(gDriveList);
  gDriveList = nullptr;
}
