#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/startup_config.h"
#include "exec/execlib.h"

namespace {

StartupOptions Parse(std::vector<const wchar_t*> args) {
  args.insert(args.begin(), L"Tillerset.exe");
  return ParseStartupOptions(static_cast<int>(args.size()), args.data());
}

TEST(StartupOptions, EachArgumentAlone) {
  struct Case {
    const wchar_t* arg;
    bool dev;
    bool noxinput;
  };
  const Case cases[] = {
      {L"-dev", true, false},       {L"/dev", true, false},         {L"-DEV", true, false},
      {L"/DeV", true, false},       {L"-noxinput", false, true},    {L"/NOXINPUT", false, true},
      {L"-NoXInput", false, true},  {L"--dev", false, false},       {L"-devx", false, false},
      {L"-de", false, false},       {L"dev", false, false},         {L"-", false, false},
      {L"/", false, false},         {L"", false, false},            {L"-noxinputs", false, false},
      {L"-noxinpu", false, false},  {L"+dev", false, false},        {L"-dev ", false, false},
      {L"\\dev", false, false},     {L"-d\u00e9v", false, false},
  };
  for (const Case& c : cases) {
    StartupOptions options = Parse({c.arg});
    EXPECT_EQ(options.developerMode, c.dev) << std::wstring(c.arg).size();
    EXPECT_EQ(options.xinputFilter, c.noxinput) << std::wstring(c.arg).size();
  }
}

TEST(StartupOptions, WholeCommandLines) {
  // The program's own name is never an option, even when it reads "-dev".
  const wchar_t* nameOnly[] = {L"-dev"};
  EXPECT_FALSE(ParseStartupOptions(1, nameOnly).developerMode);
  EXPECT_FALSE(ParseStartupOptions(0, nullptr).developerMode);
  const wchar_t* withNull[] = {L"Tillerset.exe", nullptr, L"-dev"};
  EXPECT_TRUE(ParseStartupOptions(3, withNull).developerMode);
  // Both options among unknown ones.
  StartupOptions options = Parse({L"profile.ini", L"-noxinput", L"--verbose", L"/Dev"});
  EXPECT_TRUE(options.developerMode);
  EXPECT_TRUE(options.xinputFilter);
}

TEST(StartupConfig, DirectoryTextGetsOneTrailingSeparator) {
  struct Case {
    const char* cwd;
    const char* expected;
  };
  const Case cases[] = {
      {"C:\\Games\\Tillerset", "C:\\Games\\Tillerset\\"},
      {"C:\\Games\\Tillerset\\", "C:\\Games\\Tillerset\\"},
      {"Z:/work/run/", "Z:/work/run/"}, {"C:\\", "C:\\"}, {"", ""},
  };
  for (const Case& c : cases) {
    char out[512];
    memset(out, 'x', sizeof(out));
    MakeDirectoryText(c.cwd, out, sizeof(out));
    EXPECT_STREQ(out, c.expected) << c.cwd;
  }
}

TEST(StartupConfig, DirectoryThatDoesNotFitIsLeftEmpty) {
  char out[8];
  MakeDirectoryText("C:\\abcd", out, sizeof(out));  // 7 + "\" + NUL = 9 bytes
  EXPECT_STREQ(out, "");
  MakeDirectoryText("C:\\abc", out, sizeof(out));  // exactly fits
  EXPECT_STREQ(out, "C:\\abc\\");
  MakeDirectoryText("C:\\abcde\\", out, sizeof(out));  // has its separator, still too long
  EXPECT_STREQ(out, "");
  std::string longest(510, 'a');  // 510 + "\" + NUL = 512: the largest that fits
  char big[512];
  MakeDirectoryText(longest.c_str(), big, sizeof(big));
  EXPECT_EQ(strlen(big), 511u);
  EXPECT_EQ(big[510], '\\');
  std::string tooLong(511, 'a');
  MakeDirectoryText(tooLong.c_str(), big, sizeof(big));
  EXPECT_STREQ(big, "");
  MakeDirectoryText(nullptr, big, sizeof(big));
  EXPECT_STREQ(big, "");
}

// The log threshold: 0 for users; one digit 0..3 from TILLERSET_LOG_LEVEL.
TEST(StartupConfig, TheLogLevelComesFromTheEnvironmentOrIsZero) {
  const struct {
    const char* text;
    int32_t level;
  } cases[] = {{nullptr, 0}, {"", 0}, {"2", 2}, {"3", 3}, {"0", 0}, {"4", 0}, {"-1", 0}, {"22", 0}, {"2 ", 0}, {"x", 0}};
  for (const auto& c : cases) EXPECT_EQ(LogLevelFromText(c.text), c.level) << (c.text ? c.text : "(unset)");
  ExecConfig config;
  setenv(kLogLevelVariable, "2", 1);
  FillAppExecConfig(&config, "C:\\Run", nullptr);
  EXPECT_EQ(config.logLevel, 2);
  unsetenv(kLogLevelVariable);
  FillAppExecConfig(&config, "C:\\Run", nullptr);
  EXPECT_EQ(config.logLevel, 0);
}

}  // namespace
