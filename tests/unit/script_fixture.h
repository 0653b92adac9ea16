#pragma once
// Runtime started in a private folder that is also the working folder, asserts
// counted, and a leak check over every Script test.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "exec/execlib.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "script/script.h"

namespace scripttest {

inline std::vector<std::string>& Asserts() {
  static std::vector<std::string> messages;
  return messages;
}

inline bool CountAssert(const char*, int, const char* message) {
  Asserts().push_back(message ? message : "");
  return false;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// One key line as a handler saw it.
struct Line {
  uint16_t id;
  std::vector<std::string> values;
  bool operator==(const Line& other) const { return id == other.id && values == other.values; }
};
using Lines = std::vector<Line>;

inline std::ostream& operator<<(std::ostream& out, const Line& line) {
  out << line.id << ":";
  for (const std::string& value : line.values) out << "[" << value << "]";
  return out;
}

inline int CollectLine(uint16_t id, ScriptCursor* cursor) {
  Lines* lines = static_cast<Lines*>(cursor->context);
  Line line{id, {}};
  while (const char* value = NextString(cursor)) line.values.push_back(value);
  lines->push_back(line);
  return 0;
}

class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ts_script_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    char cwd[1024];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd_ = cwd;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ExecConfig config;
    memset(&config, 0, sizeof config);
    config.mainPoolSize = 0x4000000;
    config.debugPoolSize = 0x100;
    config.memoryOptions = kMemThreadSafe;
    snprintf(config.baseDirectory, sizeof config.baseDirectory, "%s/", dir_.c_str());
    snprintf(config.logDirectory, sizeof config.logDirectory, "%s/", dir_.c_str());
    Asserts().clear();
    SetAssertHook(CountAssert);
    ASSERT_TRUE(InitExec(&config));
    baseline_ = AvailPoolMem();
  }

  void TearDown() override {
    if (ExecStarted()) {
      EXPECT_EQ(AvailPoolMem(), baseline_) << "Script memory not given back";
      ExecRemove();
    }
    SetAssertHook(nullptr);
    if (chdir(oldCwd_.c_str()) != 0) ADD_FAILURE() << "could not go back to " << oldCwd_;
    std::string command = "rm -rf '" + dir_ + "'";
    if (system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << dir_;
  }

  // Every key line the handler receives from a document with these bytes.
  static Lines ReadLines(const std::string& text, const char* section, const ScriptKey* keys) {
    Lines lines;
    ScriptDocument* document = NewScriptDocument("t.ini", text.data(), static_cast<uint32_t>(text.size()));
    if (!document) return lines;
    document->context = &lines;
    ReadSection(document, section, keys, CollectLine);
    DeleteScriptDocument(document);
    return lines;
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
  std::string oldCwd_;
  uint64_t baseline_ = 0;
};

}  // namespace scripttest
