// The program's global new and delete: objects come from the main pool while the
// memory system runs and from the C runtime heap before and after; release goes
// by address (ExecNew/ExecDelete in memory.cpp), so an object may safely be made
// on one side of InitExec or Exec remove and destroyed on the other.
// Alignments above the pool's 16 bytes go to the C runtime's aligned heap.
#include <malloc.h>

#include <cstdlib>
#include <new>

#include "exec/log.h"
#include "exec/memory.h"

namespace {

void* NewOrAbort(size_t size) {
  void* object = ExecNew(size);
  if (object == nullptr) {
    // new must not return null and the program is built without exceptions.
    LogPrintf(0, "operator new: could not allocate %llu bytes", static_cast<unsigned long long>(size));
    std::abort();
  }
  return object;
}

bool OverAligned(std::align_val_t alignment) {
  return static_cast<size_t>(alignment) > kBlockAlign;
}

void* AlignedNew(size_t size, std::align_val_t alignment) {
  if (!OverAligned(alignment)) return ExecNew(size);
  return _aligned_malloc(size != 0 ? size : 1, static_cast<size_t>(alignment));
}

void AlignedDelete(void* object, std::align_val_t alignment) {
  if (object == nullptr) return;
  if (OverAligned(alignment)) {
    _aligned_free(object);
  } else {
    ExecDelete(object);
  }
}

void* AlignedNewOrAbort(size_t size, std::align_val_t alignment) {
  void* object = AlignedNew(size, alignment);
  if (object == nullptr) {
    LogPrintf(0, "operator new: could not allocate %llu bytes", static_cast<unsigned long long>(size));
    std::abort();
  }
  return object;
}

}  // namespace

void* operator new(size_t size) { return NewOrAbort(size); }
void* operator new[](size_t size) { return NewOrAbort(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return ExecNew(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return ExecNew(size); }

void operator delete(void* object) noexcept { ExecDelete(object); }
void operator delete[](void* object) noexcept { ExecDelete(object); }
void operator delete(void* object, size_t) noexcept { ExecDelete(object); }
void operator delete[](void* object, size_t) noexcept { ExecDelete(object); }
void operator delete(void* object, const std::nothrow_t&) noexcept { ExecDelete(object); }
void operator delete[](void* object, const std::nothrow_t&) noexcept { ExecDelete(object); }

void* operator new(size_t size, std::align_val_t alignment) {
  return AlignedNewOrAbort(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment) {
  return AlignedNewOrAbort(size, alignment);
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AlignedNew(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AlignedNew(size, alignment);
}

void operator delete(void* object, std::align_val_t alignment) noexcept {
  AlignedDelete(object, alignment);
}
void operator delete[](void* object, std::align_val_t alignment) noexcept {
  AlignedDelete(object, alignment);
}
void operator delete(void* object, size_t, std::align_val_t alignment) noexcept {
  AlignedDelete(object, alignment);
}
void operator delete[](void* object, size_t, std::align_val_t alignment) noexcept {
  AlignedDelete(object, alignment);
}
void operator delete(void* object, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  AlignedDelete(object, alignment);
}
void operator delete[](void* object, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  AlignedDelete(object, alignment);
}
