#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "exec/file.h"
#include "exec_env.h"
#include "script/multilang.h"
#include "exec/text.h"

namespace {

class MultiLangTest : public ExecEnv {
 protected:
  std::string Size(uint32_t count) {
    char text[kMemSizeTextMax];
    return FormatMemSize(count, text, sizeof text);
  }
  // A table file with the given rows; each row is a list of cell texts.
  std::string Sheet(const std::vector<std::vector<std::string>>& rows) {
    std::string xml = "<?xml version=\"1.0\"?>\r\n<Workbook><Worksheet><Table>\r\n";
    for (const auto& row : rows) {
      xml += "<Row>";
      for (const auto& cell : row) xml += "<Cell><Data ss:Type=\"String\">" + cell + "</Data></Cell>";
      xml += "</Row>\r\n";
    }
    return xml + "</Table></Worksheet></Workbook>\r\n";
  }
};

TEST_F(MultiLangTest, MemorySizesInEnglish) {
  CopyData();
  ASSERT_TRUE(Start(0));
  struct Case {
    uint32_t count;
    const char* text;
  } cases[] = {
      {0, "0 bytes"},          {1023, "1023 bytes"},    {1024, "1 KB"},
      {1100, "1.07 KB"},       {1536, "1.50 KB"},       {1048576, "1 MB"},
      {0x2000000, "32 MB"},    {0x1000000, "16 MB"},    {0x40000000, "1 GB"},
      {0xC0000000u, "3 GB"},   {0xFFFFFFFFu, "3.99 GB"}, {1048575, "1023.99 KB"},
  };
  for (const Case& c : cases) EXPECT_EQ(Size(c.count), c.text) << c.count;
  EXPECT_STREQ(MemUnitText(0), "bytes");
  EXPECT_STREQ(MemUnitText(3), "GB");
  EXPECT_EQ(MultiLangText(DateTable(), 0), std::string("January"));
  EXPECT_EQ(MultiLangText(DateTable(), 23), std::string("Tomorrow"));
  EXPECT_EQ(MultiLangText(DateTable(), 24), nullptr);
  for (auto [index, code] : {std::pair{0, 1033}, {1, 1036}, {2, 1031}, {9, 0}}) EXPECT_EQ(LanguageCode(index), code);
  EXPECT_EQ(CountNodes(&LanguagesList()->list), 3u);
  EXPECT_EQ(CurrentLanguage().thousandsSeparator, ',');
  EXPECT_EQ(CurrentLanguage().decimalPoint, '.');
  EXPECT_EQ(AssertCount(), 0u);
}

TEST_F(MultiLangTest, SecondLanguageFromTheStartUpRecord) {
  CopyData();
  ASSERT_TRUE(Start(3, 1));
  EXPECT_EQ(CurrentLanguage().number, 1);
  EXPECT_EQ(Size(0x2000000), "32 Mo");
  EXPECT_EQ(Size(512), "512 octets");
  EXPECT_EQ(MultiLangText(TimeUnitsTable(), 5), std::string("jours"));
  EXPECT_NE(LogText().find("InitExec: Allocated 8 Mo main ram, 256 octets debug ram.\n"), std::string::npos);

  // Switching back reinstalls every table.
  SetCurrentLanguage(0);
  EXPECT_EQ(Size(0x2000000), "32 MB");
  EXPECT_EQ(MultiLangText(TimeUnitsTable(), 5), std::string("days"));
  EXPECT_EQ(MemUnitsTable()->language, 0);
}

TEST_F(MultiLangTest, ProgressLinesAtThresholdThree) {
  CopyData();
  ASSERT_TRUE(Start(3));
  std::string log = LogText();
  EXPECT_NE(log.find("InitExec: Init scripting system.\nInitExec: Init languages.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Creating resource " + dir_ + "/System\\Resources\\Scripts\\system.ini\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("InitExec: Allocated 8 MB main ram, 256 bytes debug ram.\n"), std::string::npos) << log;
  ExecRemove();
  log = LogText();
  EXPECT_NE(log.find("No memory leaks, no problem"), std::string::npos) << log;
}

TEST_F(MultiLangTest, ApplicationThresholdLeavesTheLogAlone) {
  CopyData();
  ASSERT_TRUE(Start(0));
  ExecRemove();
  // Only the two lines the log writes whatever its threshold.
  std::regex onlyStart("Log Create\n+Exec Log Init [0-9]+ [A-Z][a-z]{2} [0-9]{4} at [0-9:]{8}\n+");
  EXPECT_TRUE(std::regex_match(LogText(), onlyStart)) << LogText();
}

TEST_F(MultiLangTest, MissingFilesGiveEnglishAndNoUnits) {
  ASSERT_TRUE(Start(1, 1));
  EXPECT_EQ(CountNodes(&LanguagesList()->list), 1u);  // system.ini missing: English only
  EXPECT_EQ(LanguageCode(0), 1033);
  EXPECT_EQ(MemUnitText(0), nullptr);
  EXPECT_EQ(Size(0x2000000), "32 ");
  EXPECT_NE(LogText().find("InstallMText: Could not open " + dir_ + "/System\\Resources\\Scripts\\Exec.xml\n"),
            std::string::npos);
  EXPECT_EQ(AssertCount(), 0u);
  ExecRemove();
  EXPECT_STREQ(MemUnitText(0), "Invalid Multi Lang Table");  // storage released
}

TEST_F(MultiLangTest, MissingLanguageMarkerFallsBackToEnglish) {
  CopyData();
  WriteFile(ScriptsDir() + "/Exec.xml",
            Sheet({{"[English]", "[French]"}, {"[MemUnits]"}, {"bytes", "octets"}, {"KB", "Ko"}}));
  ASSERT_TRUE(Start(1, 2));  // German is registered but has no column
  std::string log = LogText();
  EXPECT_NE(log.find("FindScriptLanguageMarker: Could not find language German in script "), std::string::npos)
      << log;
  EXPECT_NE(log.find("Defaulting to English.\n"), std::string::npos);
  EXPECT_EQ(CurrentLanguage().number, 0);
  EXPECT_STREQ(MemUnitText(1), "KB");
}

TEST_F(MultiLangTest, ShortRowsAndEmptyCells) {
  CopyData();
  WriteFile(ScriptsDir() + "/Exec.xml", Sheet({{"[English]", "[French]", "[German]"},
                                                {"[MemUnits]"},
                                                {"B"},              // short row: its last cell for every language
                                                {"KB", "", "KB"},   // empty for French: skipped there
                                                {"MB", "Mo", "MB"},
                                                {"[NominalUnits]"},
                                                {"GB", "Go", "GB"}}));
  ASSERT_TRUE(Start(1, 1));
  EXPECT_STREQ(MemUnitText(0), "B");
  EXPECT_STREQ(MemUnitText(1), "Mo");  // the following texts move up
  EXPECT_STREQ(MemUnitText(2), "Go");  // later tables run on; their marker rows are left out
  EXPECT_EQ(MemUnitText(3), nullptr);
  EXPECT_EQ(Size(1536), "1.50 Mo");
}

TEST_F(MultiLangTest, LanguageRegistryKeepsFirstValues) {
  CopyData();
  ASSERT_TRUE(Start(1));
  EXPECT_TRUE(AddLanguage("english", "English", 0, 0, 2057, 0));
  EXPECT_TRUE(AddLanguage("ENGLISH", "English", 0, 5, 1033, 0));
  EXPECT_EQ(LanguageCode(0), 1033);
  EXPECT_EQ(LanguageCode(5), 0);
  std::string log = LogText();
  EXPECT_NE(log.find("AddLanguage: Two different codes have been attached to the same language english. Old value is used\n"),
            std::string::npos);
  EXPECT_NE(log.find("AddLanguage: Two different indexs have been attached to the same language ENGLISH. Old value is used\n"),
            std::string::npos);
  EXPECT_TRUE(AddLanguage("Spanish", "Espanol", 7, 3, 1034, 0));
  SetCurrentLanguage(3);
  EXPECT_EQ(CurrentLanguage().spare, 7);
}

TEST_F(MultiLangTest, SystemIniLinesWithMissingValues) {
  CopyData();
  WriteFile(ScriptsDir() + "/system.ini",
            "[Exec]\r\nLANG=Dutch,Nederlands,3,4,5,1043\r\nLANG=\"Italian\"\r\n");
  ASSERT_TRUE(Start(0));
  ExecList* languages = LanguagesList();
  ASSERT_EQ(CountNodes(&languages->list), 3u);
  Language* dutch = reinterpret_cast<Language*>(GetNthNode(&languages->list, 1));
  EXPECT_STREQ(dutch->node.name, "Dutch");
  EXPECT_STREQ(dutch->secondName, "Nederlands");
  EXPECT_EQ(dutch->spare1, 3);
  EXPECT_EQ(dutch->number, 4u);
  EXPECT_EQ(dutch->spare2, 5);
  EXPECT_EQ(dutch->code, 1043);
  // The last line of the file runs out of values: texts and numbers get their defaults.
  Language* italian = reinterpret_cast<Language*>(GetNthNode(&languages->list, 2));
  EXPECT_STREQ(italian->node.name, "Italian");
  EXPECT_STREQ(italian->secondName, "Missing parameter");
  EXPECT_EQ(italian->number, 0u);
  EXPECT_EQ(italian->code, 0);
}

}  // namespace
