#pragma once
// A small main pool per test, asserts recorded instead of shown, and the memory
// manager's global state put back afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "exec/log.h"
#include "exec/memory.h"
#include "test_support.h"

namespace memtest {

using testsupport::AssertRecorder;

inline std::vector<testsupport::SeenAssert>& Asserts() { return AssertRecorder::All(); }
inline bool CountAssert(const char* file, int line, const char* message) {
  return AssertRecorder::Hook(file, line, message);
}

constexpr uint32_t kMainSize = 0x800000;  // the smallest main pool

class PoolTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (MemoryReady()) RemoveAlloc();
    gMemOptions = 0;
    gMemBreakAtNumber = 0xFFFFFFFF;
    gMemBreakAtAddress = ~uintptr_t{0};
    AssertRecorder::Remove();
  }
  // Starts the pools with these options (and a debug pool when asked).
  void Start(uint32_t options, uint32_t debugSize = 0) {
    AssertRecorder::Install();
    gMemOptions = options;
    ASSERT_TRUE(_InitAlloc(kMainSize, debugSize, false));
  }
  static size_t AssertCount() { return AssertRecorder::Count(); }
  static std::string LastAssert() { return AssertRecorder::Last(); }
};

// The list walk as written, over (block start, size) pairs in address order: the
// pool's index must hand out exactly the blocks this model does.
class ListModel {
 public:
  ListModel(uintptr_t first, uint32_t size, uint32_t gap) : gap_(gap) { free_[first] = size; }
  uintptr_t Allocate(uint32_t b) {
    for (auto it = free_.begin(); it != free_.end(); ++it) {
      auto [start, size] = *it;
      if (size == b) {
        free_.erase(it);
        return start;
      }
      if (size >= b + kMinBlock + gap_) {
        free_.erase(it);
        free_[start + b + gap_] = size - b - gap_;
        return start;
      }
    }
    return 0;
  }
  void Release(uintptr_t start, uint32_t b) {
    auto next = free_.lower_bound(start);
    uint32_t size = b;
    if (next != free_.begin()) {
      auto prev = std::prev(next);
      if (prev->first + prev->second + gap_ == start) {
        start = prev->first;
        size += prev->second + gap_;
        free_.erase(prev);
      }
    }
    if (next != free_.end() && start + size + gap_ == next->first) {
      size += next->second + gap_;
      free_.erase(next);
    }
    free_[start] = size;
  }
  uint64_t FreeBytes() const {
    uint64_t sum = 0;
    for (auto& [start, size] : free_) sum += size;
    return sum;
  }
  size_t Blocks() const { return free_.size(); }
  const std::map<uintptr_t, uint32_t>& Free() const { return free_; }

 private:
  uint32_t gap_;
  std::map<uintptr_t, uint32_t> free_;
};

}  // namespace memtest
