#pragma once
// A small main pool per test, asserts counted instead of shown, and the memory
// manager's global state put back afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exec/log.h"
#include "exec/memory.h"

namespace memtest {

inline std::vector<std::string>& Asserts() {
  static std::vector<std::string> messages;
  return messages;
}

inline bool CountAssert(const char*, int, const char* message) {
  Asserts().push_back(message != nullptr ? message : "");
  return false;  // Cancel: carry on
}

constexpr uint32_t kMainSize = 0x800000;  // the smallest main pool

class PoolTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (MemoryReady()) RemoveAlloc();
    gMemOptions = 0;
    gMemBreakAtNumber = 0xFFFFFFFF;
    gMemBreakAtAddress = ~uintptr_t{0};
    SetAssertHook(nullptr);
  }
  // Starts the pools with these options (and a debug pool when asked).
  void Start(uint32_t options, uint32_t debugSize = 0) {
    SetAssertHook(CountAssert);
    Asserts().clear();
    gMemOptions = options;
    ASSERT_TRUE(_InitAlloc(kMainSize, debugSize, false));
  }
  static size_t AssertCount() { return Asserts().size(); }
  static std::string LastAssert() { return Asserts().empty() ? "" : Asserts().back(); }
};

}  // namespace memtest
