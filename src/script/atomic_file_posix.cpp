#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "exec/file.h"
#include "exec/memory.h"
#include "script/atomic_file.h"

namespace atomic_file {

namespace {

// The program's paths use '\'; natively they are the same paths with '/'.
struct NativePath {
  char text[kPathMax + 8];
  explicit NativePath(const char* path) {
    size_t i = 0;
    for (; path[i] && i + 1 < sizeof text; ++i) text[i] = path[i] == '\\' ? '/' : path[i];
    text[i] = '\0';
  }
};

bool IsFolder(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool CanReplace(const char* path) {
  NativePath native(path);
  struct stat info;
  if (stat(native.text, &info) != 0) return true;  // missing: it will be created
  if (S_ISDIR(info.st_mode)) return false;
  // A file its owner made read-only is left alone, as Windows leaves a read-only file.
  return (info.st_mode & S_IWUSR) != 0;
}

bool MakeFolders(const char* folder) {
  NativePath native(folder);
  char* text = native.text;
  if (IsFolder(text)) return true;
  // Every prefix in turn; failures on the way (an existing or unreachable
  // parent) only matter if the folder is still missing at the end.
  for (char* p = text + 1; *p; ++p) {
    if (*p != '/') continue;
    *p = '\0';
    mkdir(text, 0777);
    *p = '/';
  }
  mkdir(text, 0777);
  return IsFolder(text);
}

bool WriteFlushed(const char* path, const void* bytes, size_t size, const char* keepModeOf) {
  NativePath native(path);
  int fd = open(native.text, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  if (keepModeOf) {
    NativePath old(keepModeOf);
    struct stat info;
    if (stat(old.text, &info) == 0) fchmod(fd, info.st_mode & 07777);
  }
  const char* p = static_cast<const char*>(bytes);
  size_t left = size;
  bool ok = true;
  while (left > 0) {
    ssize_t written = write(fd, p, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      ok = false;
      break;
    }
    p += written;
    left -= static_cast<size_t>(written);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  return ok;
}

bool MoveOver(const char* from, const char* to) {
  NativePath source(from);
  NativePath target(to);
  if (rename(source.text, target.text) != 0) return false;
  // Make the new directory entry durable too; a failure here does not undo the move.
  char folder[sizeof target.text];
  strcpy(folder, target.text);
  char* slash = strrchr(folder, '/');
  if (slash == folder) {
    slash[1] = '\0';
  } else if (slash) {
    *slash = '\0';
  } else {
    strcpy(folder, ".");
  }
  int fd = open(folder, O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  return true;
}

void RemoveFile(const char* path) {
  NativePath native(path);
  unlink(native.text);
}

char* ReadWhole(const char* path, size_t maxSize, size_t* size) {
  NativePath native(path);
  int fd = open(native.text, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  char* block = nullptr;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) <= maxSize) {
    const size_t length = static_cast<size_t>(info.st_size);
    block = static_cast<char*>(AllocMem(kMainPoolId, length + 1));
    size_t got = 0;
    while (block && got < length) {
      ssize_t n = read(fd, block + got, length - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (block && got != length) {
      FreeMem(block);
      block = nullptr;
    }
    if (block) *size = length;
  }
  close(fd);
  return block;
}

}  // namespace atomic_file
