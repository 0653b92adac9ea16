#include <gtest/gtest.h>

#include <string>

#include "app/program_folder.h"
#include "app/system_tray.h"
#include "test_support.h"

namespace {

using testsupport::AssertRecorder;

TEST(TrayTooltip, CutToTheFieldWithItsNul) {
  const std::wstring of127(127, L'a');
  const std::wstring of128(128, L'b');
  const std::wstring of300(300, L'c');
  struct Case {
    std::wstring text;
    size_t capacity;
    std::wstring shown;
  };
  const Case cases[] = {
      {L"Ostrel Device Config", 128, L"Ostrel Device Config"},
      {L"", 128, L""},
      {of127, 128, of127},
      {of128, 128, of128.substr(0, 127)},  // passes the length check, shown one short
      {of300, 128, of300.substr(0, 127)}, {L"abc", 1, L""}, {L"abc", 3, L"ab"},
  };
  for (const Case& c : cases) {
    std::wstring field(130, L'#');
    size_t copied = CopyTooltip(&field[0], c.capacity, c.text.c_str());
    EXPECT_EQ(copied, c.shown.size()) << c.text.size() << " in " << c.capacity;
    EXPECT_EQ(std::wstring(field.c_str()), c.shown) << c.text.size() << " in " << c.capacity;
    // Nothing written past the field.
    EXPECT_EQ(field.substr(c.capacity), std::wstring(130 - c.capacity, L'#'));
  }
  wchar_t untouched = L'#';
  EXPECT_EQ(CopyTooltip(&untouched, 0, L"abc"), 0u);
  EXPECT_EQ(untouched, L'#');
  wchar_t empty[4] = L"xyz";
  EXPECT_EQ(CopyTooltip(empty, 4, static_cast<const wchar_t*>(nullptr)), 0u);
  EXPECT_EQ(empty[0], L'\0');
}

TEST(TrayCreateChecks, BoxesAtTheirLinesAndCreationGoesOn) {
  struct Case {
    uint32_t callback;
    size_t tooltipLength;
    std::vector<int> lines;
  };
  const Case cases[] = {
      {0xC123, 20, {}},        // a registered message, the usual tooltip
      {0x8000, 128, {}},       // WM_APP itself and the longest tooltip both pass
      {0x7FFF, 20, {245}},     // below WM_APP
      {0x0400, 129, {245, 249}},
      {0xC123, 129, {249}},
  };
  for (const Case& c : cases) {
    AssertRecorder::Install();
    CheckTrayCreateArguments(c.callback, c.tooltipLength, kMaxTooltipLength);
    ASSERT_EQ(AssertRecorder::Count(), c.lines.size()) << std::hex << c.callback << " " << c.tooltipLength;
    for (size_t i = 0; i < c.lines.size(); ++i) {
      EXPECT_EQ(AssertRecorder::All()[i].file, "SystemTray");
      EXPECT_EQ(AssertRecorder::All()[i].line, c.lines[i]);
      EXPECT_EQ(AssertRecorder::All()[i].message, "Error");
    }
    AssertRecorder::Remove();
  }
}

TEST(ProgramFolder, FolderPartOfTheProgramPath) {
  struct Case {
    const wchar_t* path;
    const wchar_t* folder;
  };
  const Case cases[] = {
      {L"C:\\Users\\ana\\AppData\\Local\\Programs\\Tillerset\\Tillerset.exe",
       L"C:\\Users\\ana\\AppData\\Local\\Programs\\Tillerset\\"},
      {L"C:\\Tillerset.exe", L"C:\\"},
      {L"D:/wheel/Tillerset.exe", L"D:/wheel/"},
      {L"C:\\wheel/old\\Tillerset.exe", L"C:\\wheel/old\\"},
      {L"\\\\server\\share\\Tillerset.exe", L"\\\\server\\share\\"},
      {L"C:Tillerset.exe", L"C:"}, {L"Tillerset.exe", L""}, {L"", L""},
      {L"C:\\Games\\Tillerset\\", L"C:\\Games\\Tillerset\\"},
  };
  for (const Case& c : cases) {
    const std::wstring path(c.path);
    EXPECT_EQ(path.substr(0, ProgramFolderLength(c.path)), c.folder) << path.size();
  }
  EXPECT_EQ(ProgramFolderLength(nullptr), 0u);
}

}  // namespace
