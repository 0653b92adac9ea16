#pragma once
// A block of the runtime's main pool that goes back when its holder goes, for
// functions with more than one way out.
#include <cstddef>

#include "exec/memory.h"

class PoolBlock {
 public:
  explicit PoolBlock(size_t size) : block_(AllocMem(kMainPoolId, size)) {}
  // Takes over a block already allocated (null is fine).
  static PoolBlock Adopt(void* block) { return PoolBlock(block); }
  PoolBlock(PoolBlock&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  ~PoolBlock() {
    if (block_) FreeMem(block_);
  }
  PoolBlock(const PoolBlock&) = delete;
  PoolBlock& operator=(const PoolBlock&) = delete;
  PoolBlock& operator=(PoolBlock&&) = delete;

  char* get() const { return static_cast<char*>(block_); }
  explicit operator bool() const { return block_ != nullptr; }

 private:
  explicit PoolBlock(void* block) : block_(block) {}
  void* block_;
};
