#pragma once
// A runtime started over a private base folder (optionally holding a copy of
// the program's data/ folder), with asserts recorded and the log's global
// settings put back afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "exec/execlib.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "exec/task.h"
#include "script/script_layer.h"
#include "test_support.h"

using testsupport::AssertRecorder;
using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::SeenAssert;
using testsupport::TempDir;
using testsupport::WriteFile;

class ExecEnv : public testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd_ = cwd;
    AssertRecorder::Install();
    InstallScriptLayer();
  }
  void TearDown() override {
    if (ExecStarted()) ExecRemove();
    AssertRecorder::Remove();
    SetLogSwitch(0);
    SetLogThreshold(0);
    SetLogDirectory("");
    SetInstanceIdentifier(nullptr);
    if (chdir(oldCwd_.c_str()) != 0) ADD_FAILURE() << "chdir back";
  }

  // A runtime configuration with the private folder as base and log folder.
  ExecConfig Config(int logLevel = 3, uint16_t language = 0, uint16_t logMode = 2,
                    uint32_t mainPoolSize = 0x800000) const {
    ExecConfig config;
    memset(&config, 0, sizeof config);
    config.mainPoolSize = mainPoolSize;
    config.debugPoolSize = 0x100;
    config.logLevel = logLevel;
    config.memoryOptions = kMemThreadSafe;
    config.language = language;
    config.logMode = logMode;
    snprintf(config.logDirectory, sizeof config.logDirectory, "%s/", dir_.c_str());
    snprintf(config.baseDirectory, sizeof config.baseDirectory, "%s/", dir_.c_str());
    return config;
  }
  bool Start(int logLevel = 3, uint16_t language = 0, uint16_t logMode = 2, uint32_t mainPoolSize = 0x800000) {
    ExecConfig config = Config(logLevel, language, logMode, mainPoolSize);
    return InitExec(&config);
  }

  // The program's data files, as the build installs them beside the executable.
  void CopyData() {
    std::filesystem::copy(std::string(TS_SOURCE_DIR) + "/data", dir_,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  }
  std::string ScriptsDir() const { return dir_ + "/System/Resources/Scripts"; }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string LogText() const { return ReadFile(dir_ + "/Log.txt"); }

  static std::vector<SeenAssert>& Asserts() { return AssertRecorder::All(); }
  static size_t AssertCount() { return AssertRecorder::Count(); }
  static bool SawAssert(const std::string& text, int line = -1) { return AssertRecorder::Saw(text, line); }

  TempDir tmp_{"ts_exec"};
  std::string dir_ = tmp_.path();
  std::string oldCwd_;
};
