#include <windows.h>

#include <cstring>

#include "exec/file.h"
#include "exec/memory.h"
#include "exec/wide_path_win32.h"
#include "script/atomic_file.h"

namespace atomic_file {

namespace {

DWORD Attributes(const char* path) {
  const std::wstring wide = WidePath(path);
  return wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
}

bool IsFolder(const char* path) {
  DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool CanReplace(const char* path) {
  DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // missing: it will be created
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  // MoveFileEx would fail on it anyway; say why before writing anything.
  return !(attributes & FILE_ATTRIBUTE_READONLY);
}

bool MakeFolders(const char* folder) {
  if (IsFolder(folder)) return true;
  char text[kPathMax];
  size_t length = strlen(folder);
  if (length + 1 > sizeof text) return false;
  memcpy(text, folder, length + 1);
  // Every prefix in turn; "C:" and the parts of "\\server\share" fail to be
  // created, which only matters if the folder is still missing at the end.
  for (char* p = text + 1; *p; ++p) {
    if (*p != '\\' && *p != '/') continue;
    char separator = *p;
    *p = '\0';
    CreateDirectoryW(WidePath(text).c_str(), nullptr);
    *p = separator;
  }
  CreateDirectoryW(WidePath(text).c_str(), nullptr);
  return IsFolder(text);
}

bool WriteFlushed(const char* path, const void* bytes, size_t size, const char* keepModeOf) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return false;
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const char* p = static_cast<const char*>(bytes);
  size_t left = size;
  bool ok = true;
  while (left > 0) {
    DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) {
      ok = false;
      break;
    }
    p += written;
    left -= written;
  }
  // The bytes must be on the disk before the old file is given up.
  if (ok && !FlushFileBuffers(file)) ok = false;
  if (!CloseHandle(file)) ok = false;
  return ok;
}

bool MoveOver(const char* from, const char* to) {
  return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void RemoveFile(const char* path) { DeleteFileW(WidePath(path).c_str()); }

char* ReadWhole(const char* path, size_t maxSize, size_t* size) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return nullptr;
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER length{};
  char* block = nullptr;
  if (GetFileSizeEx(file, &length) && static_cast<uint64_t>(length.QuadPart) <= maxSize) {
    const DWORD count = static_cast<DWORD>(length.QuadPart);
    block = static_cast<char*>(AllocMem(kMainPoolId, count + 1));
    DWORD got = 0;
    if (block && (!ReadFile(file, block, count, &got, nullptr) || got != count)) {
      FreeMem(block);
      block = nullptr;
    }
    if (block) *size = count;
  }
  CloseHandle(file);
  return block;
}

}  // namespace atomic_file
