#pragma once
// A started runtime over a private base folder, optionally holding a copy of the
// program's data/ folder, for the file, resource and language tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "exec/execlib.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "exec/task.h"

struct SeenAssert {
  std::string file;
  int line;
  std::string message;
};

class ExecEnv : public testing::Test {
 protected:
  static std::vector<SeenAssert>* Asserts() {
    static std::vector<SeenAssert> asserts;
    return &asserts;
  }
  static bool CountAssert(const char* file, int line, const char* message) {
    Asserts()->push_back({file ? file : "", line, message ? message : ""});
    return false;
  }

  void SetUp() override {
    char pattern[] = "/tmp/ts_res_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd_ = cwd;
    Asserts()->clear();
    SetAssertHook(CountAssert);
  }
  void TearDown() override {
    if (ExecStarted()) ExecRemove();
    SetAssertHook(nullptr);
    SetLogSwitch(0);
    SetLogThreshold(0);
    SetLogDirectory("");
    SetInstanceIdentifier(nullptr);
    if (chdir(oldCwd_.c_str()) != 0) ADD_FAILURE() << "chdir back";
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // The program's data files, as the build installs them beside the executable.
  void CopyData() {
    std::filesystem::copy(std::string(TS_SOURCE_DIR) + "/data", dir_,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  }
  std::string ScriptsDir() const { return dir_ + "/System/Resources/Scripts"; }
  void WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string ReadFile(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string LogText() const { return ReadFile(dir_ + "/Log.txt"); }

  bool Start(int logLevel = 3, uint16_t language = 0, uint16_t logMode = 2) {
    ExecConfig config;
    memset(&config, 0, sizeof config);
    config.mainPoolSize = 0x800000;
    config.debugPoolSize = 0x100;
    config.logLevel = logLevel;
    config.memoryOptions = kMemThreadSafe;
    config.language = language;
    config.logMode = logMode;
    snprintf(config.logDirectory, sizeof config.logDirectory, "%s/", dir_.c_str());
    snprintf(config.baseDirectory, sizeof config.baseDirectory, "%s/", dir_.c_str());
    return InitExec(&config);
  }

  bool SawAssert(const std::string& text, int line = -1) const {
    for (const SeenAssert& seen : *Asserts()) {
      if (seen.message == text && (line < 0 || seen.line == line)) return true;
    }
    return false;
  }
  size_t AssertCount() const { return Asserts()->size(); }

  std::string dir_;
  std::string oldCwd_;
};
