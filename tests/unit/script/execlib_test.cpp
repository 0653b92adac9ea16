#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "exec/list.h"
#include "exec_env.h"
#include "script/multilang.h"

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Nothing between InitExec and ExecRemove allocates through operator new: the
// program's new may be served by the pools, which would count it as a leak.
class ExecLibTest : public ExecEnv {
 protected:
  std::string logPath_ = dir_ + "/Log.txt";
  ExecConfig config_ = Config();
};

TEST_F(ExecLibTest, CleanRunEndsWithTheRemovalLines) {
  ASSERT_TRUE(InitExec(&config_));
  EXPECT_TRUE(ExecStarted());
  ExecRemove();
  EXPECT_FALSE(ExecStarted());
  std::string log = ReadFile(logPath_);
  EXPECT_EQ(log.rfind("Log Create\nExec Log Init ", 0), 0u) << log;
  EXPECT_NE(log.find("InitExec: Init scripting system.\nInitExec: Init languages.\n"), std::string::npos);
  EXPECT_NE(log.find("InitExec: Allocated "), std::string::npos);
  EXPECT_TRUE(std::regex_search(
      log, std::regex("\nExec Remove [0-9]{2}/[0-9]{2}/[0-9]{2} at [0-9]{2}:[0-9]{2}:[0-9]{2}\n\n"
                      "Removing: Resource systems\n\nRemoving: Tasks\n")))
      << log;
  EXPECT_TRUE(EndsWith(log,
                       "Removing: Log and Memory\nNo memory leaks, no problem\n\nExec system removed\n"))
      << log;
  EXPECT_TRUE(Asserts().empty());
}

TEST_F(ExecLibTest, ApplicationThresholdWritesOnlyTheStartLine) {
  config_.logLevel = 0;
  ASSERT_TRUE(InitExec(&config_));
  ExecRemove();
  std::string log = ReadFile(logPath_);
  EXPECT_TRUE(std::regex_match(log, std::regex("Log Create\nExec Log Init [^\n]*\n"))) << log;
}

TEST_F(ExecLibTest, LeakReportCountsTheLeakedBlock) {
  // Requested bytes and the figure reported: the block (request + 4 rounded up
  // to 16, at least 32) less its 4-byte size word.
  struct Case {
    size_t request;
    int reported;
  } cases[] = {{1, 28}, {28, 28}, {29, 44}, {100, 108}, {1000, 1004}, {4096, 4108}};
  for (const Case& c : cases) {
    unlink(logPath_.c_str());
    ASSERT_TRUE(InitExec(&config_));
    void* leak = AllocMem(0, c.request);
    ASSERT_NE(leak, nullptr);
    ExecRemove();
    std::string log = ReadFile(logPath_);
    char expected[96];
    snprintf(expected, sizeof expected, "\nMemory still allocated on release %d bytes\nExec system removed\n",
             c.reported);
    EXPECT_TRUE(EndsWith(log, expected)) << "request " << c.request << "\n" << log;
    EXPECT_EQ(log.find("No memory leaks"), std::string::npos);
  }
}

// With and without guard words, leaked blocks scattered between freed holes:
// the figure is what the leaked blocks hold (block size, plus the guard gap with
// guard words) less 4, however fragmented the pool is at the report.
TEST_F(ExecLibTest, GuardWordsDoNotHideOrInventLeaks) {
  struct Case {
    const char* name;
    std::vector<size_t> leaked;  // each allocated between two released blocks
  } cases[] = {{"none", {}}, {"one", {100}}, {"three", {1, 300, 5000}}};
  for (uint32_t options : {kMemThreadSafe, kMemThreadSafe | kMemGuards}) {
    const uint32_t gap = (options & kMemGuards) != 0 ? kGuardGap : 0;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (gap != 0 ? " with guards" : ""));
      config_.memoryOptions = options;
      snprintf(config_.applicationName, sizeof config_.applicationName, "Wheel Tool");
      unlink(logPath_.c_str());
      ASSERT_TRUE(InitExec(&config_));
      std::vector<void*> released;
      int64_t held = 0;
      released.push_back(AllocMem(0, 40));
      for (size_t request : c.leaked) {
        ASSERT_NE(AllocMem(0, request), nullptr);
        released.push_back(AllocMem(0, 70));
        held += BlockSizeFor(request) + gap;
      }
      for (void* p : released) FreeMem(p);
      ExecRemove();
      std::string log = ReadFile(logPath_);
      if (c.leaked.empty()) {
        EXPECT_NE(log.find("No memory leaks, no problem"), std::string::npos) << log;
      } else {
        EXPECT_NE(log.find("Memory still allocated on release " + std::to_string(held - 4) +
                           " bytes\n"),
                  std::string::npos)
            << log;
      }
    }
  }
}

TEST_F(ExecLibTest, ApplicationNameIsARuntimeCopy) {
  snprintf(config_.applicationName, sizeof config_.applicationName, "Wheel Tool");
  ASSERT_TRUE(InitExec(&config_));
  config_.applicationName[0] = 'X';
  EXPECT_STREQ(ApplicationName(), "Wheel Tool");
  EXPECT_TRUE(IsPoolAddress(ApplicationName()));
  ExecRemove();
  EXPECT_STREQ(ApplicationName(), "");
  EXPECT_TRUE(EndsWith(ReadFile(logPath_), "No memory leaks, no problem\n\nExec system removed\n"));
}

TEST_F(ExecLibTest, HostHeapModeWritesNoReport) {
  config_.hostHeap = 1;
  ASSERT_TRUE(InitExec(&config_));
  ExecRemove();
  std::string log = ReadFile(logPath_);
  EXPECT_TRUE(EndsWith(log, "Removing: Log and Memory\nExec system removed\n")) << log;
}

TEST_F(ExecLibTest, LogModeZeroWritesNoFile) {
  config_.logMode = 0;
  ASSERT_TRUE(InitExec(&config_));
  void* leak = AllocMem(0, 64);  // even the leak report stays silent
  EXPECT_NE(leak, nullptr);
  ExecRemove();
  EXPECT_NE(access(logPath_.c_str(), F_OK), 0);
}

TEST_F(ExecLibTest, RuntimeStateWhileStarted) {
  ASSERT_TRUE(InitExec(&config_));
  char identifier[16];
  snprintf(identifier, sizeof identifier, "%x", Crc32(config_.baseDirectory, strlen(config_.baseDirectory)));
  EXPECT_STREQ(InstanceIdentifier(), identifier);
  EXPECT_TRUE(IsPoolAddress(SharedPathBuffer()));
  EXPECT_TRUE(IsPoolAddress(TempFormat("x")));
  EXPECT_NE(Clock(), nullptr);

  ExecTask* task = CurrentTask();
  ASSERT_NE(task, nullptr);
  EXPECT_STREQ(task->node.name, "System Base");
  EXPECT_EQ(task->node.type, kNodeTask);
  EXPECT_EQ(task->node.priority, 128);
  EXPECT_EQ(task->state, kTaskRunning);
  EXPECT_NE(task->critical, nullptr);

  // The list of all lists holds the standard lists, then the task lists, in order.
  const char* const names[] = {"UserTime", "UserData", "Languages", "TaskWait", "TaskReady", "BackgroundTask"};
  int lastIndex = -1;
  for (const char* name : names) {
    int index = 0;
    ExecNode* node = FirstNode(&AnchorList()->list);
    while (node != nullptr && strcmp(node->name, name) != 0) {
      node = NextNode(node);
      ++index;
    }
    ASSERT_NE(node, nullptr) << name;
    EXPECT_GT(index, lastIndex) << name;
    lastIndex = index;
  }
  for (const char* name : {"Memory manager", "Tasks", "Display"}) {
    EXPECT_NE(FindNameInList(&SemaphoreList()->list, name), nullptr) << name;
  }
  uint32_t semaphores = CountNodes(&SemaphoreList()->list);
  EXPECT_FALSE(InitExec(&config_));  // started once only

  ExecRemove();
  EXPECT_EQ(CurrentTask(), nullptr);
  EXPECT_EQ(Clock(), nullptr);
  EXPECT_EQ(FindNameInList(&AnchorList()->list, "TaskWait"), nullptr);
  EXPECT_EQ(FindNameInList(&AnchorList()->list, "UserData"), nullptr);
  // "Tasks", "Display", the engine lock and "Memory manager" are gone.
  EXPECT_EQ(CountNodes(&SemaphoreList()->list), semaphores - 4);
  EXPECT_FALSE(IsPoolAddress(SharedPathBuffer()));
  EXPECT_TRUE(Asserts().empty());
}

TEST_F(ExecLibTest, StandardListsAreEmptiedOnRemove) {
  ASSERT_TRUE(InitExec(&config_));
  AllocNode(&UserTimeList()->list, 20, "timer", 0);
  AllocNode(&UserDataList()->list, 36, "data", 0);
  // A language owns its names: the list's release gives them back.
  ASSERT_TRUE(AddLanguage("Deutsch", "German", 0, 7, 1031, 0));
  ExecRemove();
  EXPECT_TRUE(EndsWith(ReadFile(logPath_), "No memory leaks, no problem\n\nExec system removed\n"));
}

TEST_F(ExecLibTest, MemoryFailureIsFatalForStartOnly) {
  config_.mainPoolSize = 0x100000;  // below what the allocator accepts, even halved
  config_.memoryOptions = 0;
  SetLogDirectory(config_.logDirectory);  // the allocator's failure switches the log on
  EXPECT_FALSE(InitExec(&config_));
  EXPECT_FALSE(ExecStarted());
  ASSERT_FALSE(Asserts().empty());
  const SeenAssert& last = Asserts().back();
  EXPECT_EQ(last.file, "Exec\\ExecLib");
  EXPECT_EQ(last.line, 302);
  EXPECT_EQ(last.message, "InitExec: Fatal error. Cannot initialise memory system.");
  ExecRemove();  // nothing to take down
  EXPECT_EQ(CurrentTask(), nullptr);
}

}  // namespace
