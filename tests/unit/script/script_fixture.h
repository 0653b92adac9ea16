#pragma once
// The runtime started in a private folder that is also the working folder,
// asserts recorded, and a leak check over every Script test; key lines as a
// handler sees them.
#include <ostream>
#include <string>
#include <vector>

#include "exec_env.h"
#include "script/script.h"

namespace scripttest {

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

// Every key line of a section of a document already open.
inline Lines ReadDocument(ScriptDocument* document, const char* section, const ScriptKey* keys) {
  Lines lines;
  document->context = &lines;
  ReadSection(document, section, keys, CollectLine);
  document->context = nullptr;
  return lines;
}

class ScriptTest : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ASSERT_TRUE(Start(0, 0, 0, 0x4000000));  // large texts are copied into the pool
    baseline_ = AvailPoolMem();
  }
  void TearDown() override {
    if (ExecStarted()) {
      EXPECT_EQ(AvailPoolMem(), baseline_) << "Script memory not given back";
    }
    ExecEnv::TearDown();
  }

  // Every key line the handler receives from a document with these bytes.
  static Lines ReadLines(const std::string& text, const char* section, const ScriptKey* keys) {
    ScriptDocument* document = NewScriptDocument("t.ini", text.data(), static_cast<uint32_t>(text.size()));
    if (!document) return {};
    Lines lines = ReadDocument(document, section, keys);
    DeleteScriptDocument(document);
    return lines;
  }

  uint64_t baseline_ = 0;
};

}  // namespace scripttest
