// Settings that travel: board settings and profiles as files, the clash of
// names on import, and what a second start hands the running copy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/control_panel.h"
#include "app/file_commands.h"
#include "app/main_page_ids.h"
#include "app/options.h"
#include "profiles/profile_files.h"
#include "profiles_fixture.h"
#include "update/board_backup.h"

namespace profilestest {
namespace {

// The file the next dialog "chooses"; empty = the user cancels.
std::string gChosen;
bool ChooseStub(DialogControls&, FileDialog, char* path, size_t size) {
  snprintf(path, size, "%s", gChosen.c_str());
  return !gChosen.empty();
}

// A board whose port fails from the given write on: unplugged mid-load.
class DyingChannel : public FakeChannel {
 public:
  using FakeChannel::FakeChannel;
  int writesLeft = 1 << 30;
  uint32_t Write(const void* data, uint32_t count) override {
    if (--writesLeft < 0) dead = true;
    return FakeChannel::Write(data, count);
  }
};

class TravelTest : public ProfilesTest {
 protected:
  void SetUp() override {
    ProfilesTest::SetUp();
    Desktop().chooseFile = ChooseStub;
    gChosen.clear();
  }
  void TearDown() override {
    Desktop() = DesktopServices{};
    ProfilesTest::TearDown();
  }
  // Parameter numbers of the "P" writes since the last clear, in order.
  static std::vector<int> WrittenNumbers(const std::vector<uint8_t>& bytes) {
    std::vector<int> numbers;
    for (const Bytes& write : ParameterWrites(bytes)) numbers.push_back(write[1]);
    return numbers;
  }
};

TEST_F(TravelTest, BoardSettingsFileWithAnyNameReadsBack) {
  board.SetParameter(17, 100);
  board.SetParameter(8, 540);
  board.SetParameter(40, 5);
  Connect();
  panel.link.ReadAllParameters();
  gChosen = Path("R\xC3\xA9glages \xE2\x9C\x93.ini");  // "Réglages ✓.ini"
  SaveBoardCommand(panel, page);
  EXPECT_TRUE(page.messages.empty());
  const std::string text = ReadFile(gChosen);
  EXPECT_EQ(text.rfind("[Board]\r\nFIRMWARE=", 0), 0u) << text;
  EXPECT_NE(text.find("\r\nDATE=\"2"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nPARAM=8,540\r\n"), std::string::npos);

  BoardSettings loaded;
  BoardFileCheck check;
  ASSERT_EQ(LoadBoardSettingsUserFile(gChosen.c_str(), &loaded, &check), BoardFileRead::kRead);
  EXPECT_EQ(loaded.count, kBoardSettingCount);
  EXPECT_EQ(loaded.Find(17)->value, 100);
  EXPECT_EQ(loaded.Find(40)->value, 5);
  EXPECT_EQ(check.skipped, 0);
}

TEST_F(TravelTest, FilesThatAreNoBoardSettingsChangeNothing) {
  struct Case {
    const char* text;
    BoardFileRead outcome;
    const char* problem;
  };
  const Case cases[] = {
      {"[Config]\r\nFLAGS=3\r\n", BoardFileRead::kNotBoardSettings, ""},
      {"[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,900\r\n", BoardFileRead::kNotBoardSettings, ""},
      {"\x89PNG\r\n\x1a\n\0\0", BoardFileRead::kNotBoardSettings, ""},
      {"[Board]\r\nPARAM=200,7\r\n", BoardFileRead::kNotBoardSettings, ""},
      {"[Board]\r\nPARAM=17,5\r\nPARAM=8,99999\r\n", BoardFileRead::kDamaged, "Max Angle has the value 99999"},
      {"[Board]\r\nPARAM=17,300\r\n", BoardFileRead::kDamaged, "Main Gain has the value 300"},
      {"[Board]\r\nPARAM=77,0\r\n", BoardFileRead::kDamaged, "Filter has the value 0"},
      {"[Board]\r\nPARAM=82,70000\r\n", BoardFileRead::kDamaged, "Analog curve 2 has the value 70000"},
      {"[Board]\r\nPARAM=40,-129\r\n", BoardFileRead::kDamaged, "Mapping 5 has the value -129"},
  };
  for (const Case& c : cases) {
    WriteFile(Path("f.ini"), c.text);
    BoardSettings loaded;
    BoardFileCheck check;
    EXPECT_EQ(LoadBoardSettingsUserFile(Path("f.ini").c_str(), &loaded, &check), c.outcome) << c.text;
    EXPECT_STREQ(check.problem, c.problem) << c.text;
    if (c.outcome != BoardFileRead::kRead) {
      EXPECT_EQ(loaded.count, 0) << c.text;
    }
  }
  BoardSettings loaded;
  BoardFileCheck check;
  EXPECT_EQ(LoadBoardSettingsUserFile(Path("missing.ini").c_str(), &loaded, &check), BoardFileRead::kUnreadable);

  // Through the command: one clear message, not a byte to the board.
  Connect();
  WriteFile(Path("f.ini"), "[Board]\r\nPARAM=17,300\r\n");
  gChosen = Path("f.ini");
  LoadBoardCommand(panel, page);
  ASSERT_EQ(page.messages.size(), 1u);
  EXPECT_EQ(page.messages[0].text, "This file of board settings is damaged (Main Gain has the value 300). Nothing was changed.");
  EXPECT_TRUE(port.written.empty());
}

TEST_F(TravelTest, LoadCountsWritesInProfileOrderAndNamesWhatWasSkipped) {
  Connect();
  panel.link.ReadAllParameters();
  panel.link.firmwareVersion = 0x0106;
  // A file of another firmware: two settings this board has not, three that differ.
  BoardSettings now;
  CaptureBoardSettings(panel.link.parameters, 0x0105, &now);
  std::string text = "[Board]\r\nFIRMWARE=261\r\nPARAM=201,1\r\nPARAM=202,2\r\n";
  for (int i = 0; i < now.count; ++i) {
    int32_t value = now.items[i].value;
    if (now.items[i].number == 17) value = 90;
    if (now.items[i].number == 77) value = 20;
    if (now.items[i].number == 41) value = 3;
    text += "PARAM=" + std::to_string(now.items[i].number) + "," + std::to_string(value) + "\r\n";
  }
  WriteFile(Path("old.ini"), text);
  gChosen = Path("old.ini");
  port.written.clear();
  page.answers = {kAnswerNo};
  LoadBoardCommand(panel, page);
  ASSERT_EQ(page.messages.size(), 1u);
  EXPECT_EQ(page.messages[0].text, "3 of the board's settings differ from this file. Write them to the board ?");
  EXPECT_TRUE(port.written.empty()) << "No writes nothing";

  page.messages.clear();
  page.answers = {kAnswerYes};
  LoadBoardCommand(panel, page);
  EXPECT_EQ(board.Parameter(17), 90);
  EXPECT_EQ(board.Parameter(77), 20);
  EXPECT_EQ(board.Parameter(41), 3);
  const std::vector<int> order = WrittenNumbers(port.written);
  ASSERT_GE(order.size(), 15u);
  EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 14),
            (std::vector<int>{8, 17, 18, 19, 20, 21, 22, 23, 24, 34, 30, 31, 32, 33}));
  ASSERT_EQ(page.messages.size(), 2u);
  EXPECT_EQ(page.messages[1].text,
            "68 settings were written to the board.\n\nThe file comes from firmware 1.5, the board has 1.6. "
            "Skipped, as this board has no such settings: Parameter 201, Parameter 202");
}

TEST_F(TravelTest, ABoardGoneMidLoadStopsTheLoad) {
  Connect();
  panel.link.ReadAllParameters();
  BoardSettings file;
  CaptureBoardSettings(panel.link.parameters, 0, &file);
  for (int i = 0; i < file.count; ++i) file.items[i].value = file.items[i].number == 8 ? 720 : 1;
  PutInWritingOrder(&file);  // as the loaders give it
  DyingChannel dying(clock, board);
  dying.Open(7, 115200);
  dying.writesLeft = 5;
  panel.link.channel = &dying;
  BoardWriteResult result;
  WriteBoardSettings(panel.link, file, &result);
  panel.link.channel = &port;
  EXPECT_TRUE(result.boardGone);
  EXPECT_EQ(result.written, 5);
  EXPECT_EQ(WrittenNumbers(dying.written).size(), 5u) << "nothing after the failed write";
  EXPECT_EQ(board.Parameter(20), 1) << "the fifth setting reached the board";
  EXPECT_NE(board.Parameter(21), 1) << "the sixth never did";
}

TEST_F(TravelTest, ExportThenImportKeepsEveryProfile) {
  Make({"Default", "Rally"});
  GameProfile* rally = panel.profiles.list.Find("Rally");
  rally->maxAngle = 540;
  rally->mainGain = 100;
  gChosen = Path("rally \xC3\xA9t\xC3\xA9.ini");
  panel.profiles.SelectProfile(1);
  ExportProfileCommand(panel, page);
  const std::string exported = ReadFile(gChosen);
  EXPECT_EQ(exported.rfind("[GameProfiles]\r\nPROFILE=Rally,Rally.exe,", 0), 0u) << exported;
  EXPECT_EQ(exported.find("PROFILE=Default"), std::string::npos) << "only the selected profile";

  // The other installation has its own "Rally": Yes replaces it, No keeps both.
  for (int answer : {kAnswerYes, kAnswerNo}) {
    panel.profiles.FreeProfiles();
    panel.profiles.item = -1;
    Make({"Default", "rally", "Other"});
    panel.profiles.list.Find("rally")->mainGain = 10;
    page.messages.clear();
    page.answers = {answer};
    ImportProfileCommand(panel, page);
    ASSERT_EQ(page.messages.size(), 1u);
    EXPECT_EQ(page.messages[0].text,
              "A profile named \"rally\" exists already. Replace it with the imported one ?\n\n"
              "Yes replaces it. No keeps both: the imported one is named \"Rally (2)\".");
    if (answer == kAnswerYes) {
      EXPECT_EQ(Names(), (std::vector<std::string>{"Default", "rally", "Other"}));
      EXPECT_EQ(panel.profiles.list.Find("rally")->mainGain, 100);
    } else {
      EXPECT_EQ(Names(), (std::vector<std::string>{"Default", "rally", "Other", "Rally (2)"}));
      EXPECT_EQ(panel.profiles.list.Find("rally")->mainGain, 10);
      EXPECT_EQ(panel.profiles.list.Find("Rally (2)")->maxAngle, 540u);
    }
    const std::string saved = ReadFile(Path(kProfilesFile));
    EXPECT_NE(saved.find("PROFILE=Other,Other.exe"), std::string::npos) << "written at once, whole";
  }
}

TEST_F(TravelTest, ADamagedProfileFileImportsNothing) {
  Make({"Default"});
  const std::pair<const char*, const char*> cases[] = {
      {"[GameProfiles]\r\nPROFILE=A,a.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16\r\n"
       "PROFILE=B,b.exe,0,99999,127,127,127,127,127,127,127,127,0,0,0,0,16\r\n",
       "damaged (profile \"B\" has the value 99999 where 180 to 2160 belong)"},
      {"[GameProfiles]\r\nPROFILE=A,a.exe,0,900\r\n", "damaged (profile 1 has 4 of its 17 values)"},
      {"[Board]\r\nPARAM=17,5\r\n", ""},
  };
  gChosen = Path("p.ini");
  for (const auto& [file, problem] : cases) {
    WriteFile(gChosen, file);
    page.messages.clear();
    ImportProfileCommand(panel, page);
    ASSERT_EQ(page.messages.size(), 1u);
    EXPECT_EQ(page.messages[0].text, *problem ? "This profile file is " + std::string(problem) + ". Nothing was imported."
                                              : "This file holds no game profiles. Nothing was imported.");
    EXPECT_EQ(Names(), std::vector<std::string>{"Default"});
  }
}

TEST_F(TravelTest, AProfileChosenFromOutside) {
  Make({"Default", "Rally", "Drift", "Rally (2)", std::string(63, 'x')});
  char name[kProfileTextMax + 1];
  FreeProfileName(panel.profiles.list, "rally", name);
  EXPECT_STREQ(name, "rally (3)");
  FreeProfileName(panel.profiles.list, std::string(63, 'x').c_str(), name);
  EXPECT_EQ(std::string(name), std::string(59, 'x') + " (2)") << "a free name stays within 63 characters";
  port.written.clear();
  page.messages.clear();
  EXPECT_FALSE(SelectProfileByName(panel, page, "Nope"));
  ASSERT_EQ(page.messages.size(), 1u);
  EXPECT_EQ(page.messages[0].text, "There is no profile named \"Nope\". Nothing was changed.");
  EXPECT_EQ(panel.profiles.item, 0);
  EXPECT_TRUE(SelectProfileByName(panel, page, "drift"));
  EXPECT_EQ(panel.profiles.item, 2);
  EXPECT_EQ(page.Selected(IDC_PROFILE_LIST), 2);
}

TEST(StartupOptions, ProfileAndTray) {
  struct Case {
    std::vector<const wchar_t*> args;
    bool given;
    std::wstring profile;
    const char* problem;
    bool tray;
  };
  const std::wstring tooLong(64, L'a');
  const Case cases[] = {
      {{L"-profile", L"My Game"}, true, L"My Game", nullptr, false},
      {{L"/PROFILE", L"Rally", L"-tray"}, true, L"Rally", nullptr, true},
      {{L"-profile", L"-dev"}, true, L"-dev", nullptr, false},
      {{L"-profile"}, false, L"", kProfileOptionMissing, false},
      {{L"-profile", L""}, false, L"", kProfileOptionMissing, false},
      {{L"-profile", tooLong.c_str()}, false, L"", kProfileOptionTooLong, false},
      {{L"/Tray"}, false, L"", nullptr, true},
      {{L"-trays"}, false, L"", nullptr, false},
  };
  for (const Case& c : cases) {
    std::vector<const wchar_t*> args = c.args;
    args.insert(args.begin(), L"Tillerset.exe");
    const StartupOptions options = ParseStartupOptions(static_cast<int>(args.size()), args.data());
    EXPECT_EQ(options.profileGiven, c.given) << c.args.size();
    EXPECT_EQ(std::wstring(options.profile), c.profile);
    EXPECT_STREQ(options.problem ? options.problem : "", c.problem ? c.problem : "");
    EXPECT_EQ(options.startInTray, c.tray);
  }
  wchar_t command[64];
  ASSERT_TRUE(MakeStartupCommand(L"C:\\Program Files\\Tillerset\\Tillerset.exe", command, 64));
  EXPECT_EQ(std::wstring(command), L"\"C:\\Program Files\\Tillerset\\Tillerset.exe\" -tray");
  EXPECT_FALSE(MakeStartupCommand(L"C:\\Program Files\\Tillerset\\Tillerset.exe", command, 40));
}

TEST(StartupOptions, WhatASecondStartSendsIsChecked) {
  char message[kForwardMax];
  char name[kOptionProfileMax + 1];
  const size_t length = EncodeForward(ForwardKind::kProfile, "My Game", message);
  EXPECT_EQ(DecodeForward(kForwardTag, message, length, name), ForwardKind::kProfile);
  EXPECT_STREQ(name, "My Game");
  EXPECT_EQ(DecodeForward(kForwardTag, message, EncodeForward(ForwardKind::kShow, nullptr, message), name),
            ForwardKind::kShow);
  EXPECT_EQ(EncodeForward(ForwardKind::kProfile, std::string(64, 'a').c_str(), message), 0u);
  EXPECT_EQ(DecodeForward(kForwardTag + 1, "SHOW", 4, name), ForwardKind::kInvalid);
  EXPECT_EQ(DecodeForward(kForwardTag, nullptr, 4, name), ForwardKind::kInvalid);
  const std::string refused[] = {"SHOWS", std::string("PROFILE\0", 8), std::string("PROFILE\0a\0b", 11),
                                 std::string("PROFILE\0a\r\nb", 12), std::string("PROFILE\0", 8) + std::string(64, 'a'),
                                 "PROFILE Rally"};
  for (const std::string& bytes : refused) {
    EXPECT_EQ(DecodeForward(kForwardTag, bytes.data(), bytes.size(), name), ForwardKind::kInvalid) << bytes;
  }
}

}  // namespace
}  // namespace profilestest
