#include <windows.h>

#include <cstring>

#include "exec/file.h"
#include "exec/memory.h"
#include "script/atomic_file.h"

namespace atomic_file {

namespace {

// The path as the wide text the system's file calls take; empty when it does
// not convert (a name the code page or UTF-8 cannot hold is no file of ours).
struct WidePath {
  wchar_t text[kPathMax];
  WidePath(const char* path, PathText from) {
    const UINT codePage = from == PathText::kUtf8 ? CP_UTF8 : CP_ACP;
    const DWORD flags = from == PathText::kUtf8 ? MB_ERR_INVALID_CHARS : 0;
    if (MultiByteToWideChar(codePage, flags, path, -1, text, kPathMax) <= 0) text[0] = 0;
  }
};

bool IsFolder(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool CanReplace(const char* path, PathText text) {
  WidePath wide(path, text);
  if (wide.text[0] == 0) return false;
  DWORD attributes = GetFileAttributesW(wide.text);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // missing: it will be created
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  // MoveFileEx would fail on it anyway; say why before writing anything.
  return !(attributes & FILE_ATTRIBUTE_READONLY);
}

bool MakeFolders(const char* folder, PathText from) {
  WidePath wide(folder, from);
  wchar_t* text = wide.text;
  if (text[0] == 0) return false;
  if (IsFolder(text)) return true;
  // Every prefix in turn; "C:" and the parts of "\\server\share" fail to be
  // created, which only matters if the folder is still missing at the end.
  for (wchar_t* p = text + 1; *p; ++p) {
    if (*p != L'\\' && *p != L'/') continue;
    wchar_t separator = *p;
    *p = L'\0';
    CreateDirectoryW(text, nullptr);
    *p = separator;
  }
  CreateDirectoryW(text, nullptr);
  return IsFolder(text);
}

bool WriteFlushed(const char* path, const void* bytes, size_t size, const char* keepModeOf, PathText text) {
  WidePath wide(path, text);
  if (wide.text[0] == 0) return false;
  HANDLE file = CreateFileW(wide.text, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

bool MoveOver(const char* from, const char* to, PathText text) {
  WidePath source(from, text);
  WidePath target(to, text);
  if (source.text[0] == 0 || target.text[0] == 0) return false;
  return MoveFileExW(source.text, target.text, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void RemoveFile(const char* path, PathText text) {
  WidePath wide(path, text);
  if (wide.text[0] != 0) DeleteFileW(wide.text);
}

char* ReadWhole(const char* path, PathText text, size_t maxSize, size_t* size) {
  WidePath wide(path, text);
  if (wide.text[0] == 0) return nullptr;
  HANDLE file = CreateFileW(wide.text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
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
