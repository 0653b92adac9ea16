// The command line the POSIX tools share.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/tool_main_posix.h"

namespace {

void NoUsage(FILE*) {}

TEST(ToolOptions, OptionsBecomeFieldsOrControlLinesAndBadOnesAreRefused) {
  struct Case {
    std::vector<const char*> args;
    int code;
    std::vector<std::string> lines;
    std::string link;
  };
  const Case cases[] = {
      {{"--link", "/tmp/COM7", "--late", "40", "--silent"}, -1, {"late 40", "silent on"}, "/tmp/COM7"},
      {{"--late=5", "--link=/tmp/x", "--set", "16=2"}, -1, {"late 5", "set 16 2"}, "/tmp/x"},
      {{"--set", "16"}, 2, {}, ""}, {{"--late"}, 2, {}, ""}, {{"--frobnicate"}, 2, {}, ""},
      {{"--late", "1", "extra"}, 2, {"late 1"}, ""},
      {{"--late", "1", "--help"}, 0, {"late 1"}, ""},
  };
  for (const Case& c : cases) {
    std::string link;
    std::vector<std::string> lines;
    const std::vector<ToolOption> options = {
        {"link", true, nullptr, ValueInto(&link)}, {"late", true, "late ", {}},
        {"silent", false, "silent on", {}},
        {"set", true, nullptr, [&](const std::string& v) {
           const size_t eq = v.find('=');
           if (eq == std::string::npos) return std::string("--set wants N=VALUE");
           lines.push_back("set " + v.substr(0, eq) + " " + v.substr(eq + 1));
           return std::string();
         }}};
    std::vector<char*> argv = {const_cast<char*>("tool")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    const std::string shown = c.args.empty() ? "" : c.args[0];
    EXPECT_EQ(ParseToolOptions("tool", static_cast<int>(argv.size()) - 1, argv.data(), options, NoUsage, &lines),
              c.code)
        << shown;
    EXPECT_EQ(lines, c.lines) << shown;
    EXPECT_EQ(link, c.link) << shown;
  }
}

}  // namespace
