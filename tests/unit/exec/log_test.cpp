#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <string>

#include "exec/execlib.h"
#include "exec/log.h"
#include "test_support.h"

namespace {

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::WriteFile;

const char kInitLine[] =
    "Exec Log Init [0-9]{1,2} (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} at "
    "[0-9]{2}:[0-9]{2}:[0-9]{2}\n";

class LogTest : public testing::Test {
 protected:
  void SetUp() override {
    SetLogDirectory((dir_ + "/").c_str());
    SetLogSwitch(1);
    SetLogThreshold(0);
  }
  void TearDown() override {
    SetLogSwitch(0);
    SetLogThreshold(0);
    SetLogDirectory("");
    SetAssertHook(nullptr);
    SetDebuggerProbe(nullptr);
  }
  ExecConfig Config(uint16_t mode) {
    ExecConfig config;
    memset(&config, 0, sizeof config);
    config.logMode = mode;
    snprintf(config.logDirectory, sizeof config.logDirectory, "%s/", dir_.c_str());
    return config;
  }
  testsupport::TempDir tmp_{"ts_log"};
  std::string dir_ = tmp_.path();
  std::string logPath_ = dir_ + "/Log.txt";
};

TEST_F(LogTest, LevelAboveThresholdIsDropped) {
  struct Case {
    int threshold, level;
    bool written;
  } cases[] = {{0, 0, true}, {0, 1, false}, {3, 1, true}, {3, 3, true}, {3, 4, false}, {-1, 0, false}};
  for (const Case& c : cases) {
    unlink(logPath_.c_str());
    SetLogThreshold(c.threshold);
    int result = LogPrintf(c.level, "line %d", 7);
    SCOPED_TRACE(testing::Message() << "threshold " << c.threshold << " level " << c.level);
    EXPECT_EQ(result, c.written ? 6 : 0);
    EXPECT_EQ(ReadFile(logPath_), c.written ? "line 7\n" : "");
  }
}

TEST_F(LogTest, SwitchedOffWritesNothingEvenErrors) {
  SetLogSwitch(0);
  EXPECT_EQ(LogPrintf(0, "error"), 0);
  EXPECT_FALSE(Exists(logPath_));
}

TEST_F(LogTest, LinesAreAppended) {
  LogPrintf(0, "first");
  LogPrintf(0, "second %s", "line");
  EXPECT_EQ(ReadFile(logPath_), "first\nsecond line\n");
}

TEST_F(LogTest, LongTextIsCutTo511Characters) {
  std::string text(600, 'x');
  EXPECT_EQ(LogPrintf(0, "%s", text.c_str()), -511);
  EXPECT_EQ(ReadFile(logPath_), std::string(511, 'x') + "\n");
  EXPECT_EQ(LogPrintf(0, "%s", std::string(511, 'y').c_str()), 511);
}

TEST_F(LogTest, DebuggerOutputCarriesTheBanner) {
  setenv("TS_DEBUG_OUTPUT", "1", 1);
  testing::internal::CaptureStderr();
  LogPrintf(0, "hello");
  std::string out = testing::internal::GetCapturedStderr();
  unsetenv("TS_DEBUG_OUTPUT");
  EXPECT_EQ(out, "------------- Vexel Message ------------- hello\n");
}

TEST_F(LogTest, EmptyDirectoryWritesIntoTheCurrentDirectory) {
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  SetLogDirectory("");
  LogPrintf(0, "here");
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(ReadFile(logPath_), "here\n");
}

TEST_F(LogTest, DirectoryTooLongForThePathWritesNoFile) {
  std::string longDir = dir_ + "/" + std::string(260, 'd') + "/";
  SetLogDirectory(longDir.c_str());
  EXPECT_EQ(LogPrintf(0, "lost"), 4);
  SetLogDirectory((dir_ + "/").c_str());
  // A cut path would have named a file inside the test directory.
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(LogTest, StartLineByLogMode) {
  struct Case {
    uint16_t mode;
    bool oldFile;
    const char* expected;  // a pattern, or null when no file may be made
  } cases[] = {
      {2, true, "Log Create\n"},  // a fresh file
      {1, true, "old run\n"},     // the start line appended
      {3, false, ""},
      {0, false, nullptr},        // the file left alone
  };
  SetLogThreshold(-5);  // the start line ignores the threshold
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode);
    unlink(logPath_.c_str());
    if (c.oldFile) WriteFile(logPath_, "old run\n");
    ExecConfig config = Config(c.mode);
    InitLog(&config);
    if (c.expected == nullptr) {
      EXPECT_FALSE(Exists(logPath_));
      continue;
    }
    const std::string text = ReadFile(logPath_);
    EXPECT_TRUE(std::regex_match(text, std::regex(std::string(c.expected) + kInitLine))) << text;
  }
}

TEST_F(LogTest, TempFormatWorksBeforeTheRuntimeStarts) {
  EXPECT_STREQ(TempFormat("%s %d", "value", 42), "value 42");
}

// ---- assert box

TEST_F(LogTest, AssertBoxTextIsExactAndCutToItsBuffer) {
  char text[kAssertTextSize];
  int length = FormatAssertText(text, "Exec\\Memory", 120, "FALSE", "AllocMem: Could not allocate memory\n");
  const char expected[] =
      "Vexel Assert Box\n"
      "_________________________________________________\n"
      "\n\n"
      "Cond : FALSE\n"
      "Message : AllocMem: Could not allocate memory\n\n\n"
      "In file : Exec\\Memory, at line : 120";
  EXPECT_STREQ(text, expected);
  EXPECT_EQ(length, static_cast<int>(strlen(expected)));

  std::string message(2000, 'm');
  EXPECT_EQ(FormatAssertText(text, "Exec\\Task", 1, "FALSE", message.c_str()), kAssertTextSize - 1);
  EXPECT_EQ(strlen(text), static_cast<size_t>(kAssertTextSize - 1));
}

TEST_F(LogTest, NativeBoxShowsCaptionAndTextAndAnswersCancel) {
  testing::internal::CaptureStderr();
  bool retry = AssertBox("exec\\Task_PC", 77, "FALSE", "Could not create semaphore");
  std::string out = testing::internal::GetCapturedStderr();
  char text[kAssertTextSize];
  FormatAssertText(text, "exec\\Task_PC", 77, "FALSE", "Could not create semaphore");
  EXPECT_FALSE(retry);
  EXPECT_EQ(out, std::string("Vexel assert !\n") + text + "\n");
}

bool AnswerRetry(const char*, int, const char*) { return true; }
bool AnswerCancel(const char*, int, const char*) { return false; }
bool NoDebugger() { return false; }
bool WithDebugger() { return true; }

TEST_F(LogTest, RetryBreaksOnlyWithADebuggerAttached) {
  struct Case {
    AssertHook answer;
    DebuggerProbe probe;
    bool breaks;
  } cases[] = {{AnswerRetry, NoDebugger, false},
               {AnswerRetry, WithDebugger, true},
               {AnswerCancel, WithDebugger, false},
               {AnswerCancel, NoDebugger, false}};
  for (const Case& c : cases) {
    SetAssertHook(c.answer);
    SetDebuggerProbe(c.probe);
    EXPECT_EQ(AssertBox("Exec\\Table", 5, "FALSE", "m"), c.breaks);
  }
}

TEST_F(LogTest, FailedCheckWithoutDebuggerLogsAndCarriesOn) {
  SetAssertHook(AnswerRetry);
  SetDebuggerProbe(NoDebugger);
  EXEC_ASSERT_AT("Exec\\ExecLib", 302, "Check 100% failed");  // '%' is not a format here
  EXPECT_EQ(ReadFile(logPath_), "Check 100% failed\n");
}

}  // namespace
