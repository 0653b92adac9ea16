// GameProfiles.ini and its deferred writes, the profile list against the main
// page, applying a profile to the board, a profile made without a board, and
// the "Game Profile" dialog's logic.
#include <algorithm>
#include <cstdio>
#include <random>

#include "app/deferred_save.h"
#include "app/main_page_ids.h"
#include "app/pages.h"
#include "app/strip_ids.h"
#include "profiles/profile_dialog.h"
#include "script/atomic_file.h"
#include "profiles_fixture.h"

namespace profilestest {
namespace {

// Every field of a profile, for comparing whole profiles.
std::string Dump(const GameProfile& p) {
  std::string out = std::string(p.name) + "|" + p.processName;
  const int values[] = {static_cast<int>(p.maxAngle), p.mainGain, p.gameSpring, p.gameFriction,
                        p.gameDamper, p.gameInertia, p.constant, p.sine, p.forceTable,
                        p.optionFlags, p.filter, p.userSpring, p.userFriction, p.userDamper,
                        p.userInertia};
  for (int v : values) out += "|" + std::to_string(v);
  return out;
}

std::vector<std::string> DumpAll(const ProfileList& list) {
  std::vector<std::string> out;
  for (const GameProfile* p = list.First(); p; p = ProfileList::Next(p)) out.push_back(Dump(*p));
  return out;
}

void SetWheelValues(ControlPanel& panel, const int32_t values[15]) {
  const WheelEntry order[] = {kEntryMaxAngle,    kEntryMainGain,   kEntryGameSpring, kEntryGameFriction,
                              kEntryGameDamper,  kEntryGameInertia, kEntryConstant,  kEntrySine,
                              kEntryForceTable,  kEntryFlags,       kEntryFilter,    kEntryUserSpring,
                              kEntryUserFriction, kEntryUserDamper, kEntryUserInertia};
  for (int i = 0; i < 15; ++i) panel.link.parameters[order[i]].value = values[i];
}

// ---- GameProfiles.ini

TEST_F(ProfilesTest, FirstRunCreatesDefaultFromTheBoardAndWritesItsLine) {
  panel.profiles.LoadProfiles();
  EXPECT_EQ(panel.profiles.list.Count(), 0u);
  const int32_t board[15] = {900, 127, 127, 127, 127, 127, 127, 127, 127, 0, 16, 0, 0, 0, 0};
  SetWheelValues(panel, board);
  panel.link.linkState = kWheelFound;  // the values were read from the board
  panel.profiles.FillProfileList();
  EXPECT_EQ(page.ComboTexts(IDC_PROFILE_LIST), std::vector<std::string>{"Default"});
  EXPECT_EQ(page.Selected(IDC_PROFILE_LIST), 0);
  panel.profiles.SaveProfiles();
  EXPECT_EQ(ReadFile(Path("GameProfiles.ini")),
            "[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16\r\n\r\n");
}

TEST_F(ProfilesTest, FirstRunWithoutABoardGivesDefaultTheNewProfileValues) {
  const int32_t placeholders[15] = {};
  SetWheelValues(panel, placeholders);
  panel.profiles.FillProfileList();
  ASSERT_EQ(panel.profiles.list.Count(), 1u);
  EXPECT_EQ(Dump(*panel.profiles.list.First()), "Default|NoLife.exe|900|127|127|127|127|127|127|127|127|0|16|0|0|0|0");
  EXPECT_EQ(panel.link.parameters[kEntryMaxAngle].value, 900) << "and the page shows them";
}

TEST_F(ProfilesTest, NoProfilesWriteAnEmptySection) {
  panel.profiles.SaveProfiles();
  EXPECT_EQ(ReadFile(Path("GameProfiles.ini")), "[GameProfiles]\r\n\r\n");
}

TEST_F(ProfilesTest, NamesRoundTripWhole) {
  const char* const names[] = {
      "My Game",          "Rally, Dirt",      "it's",           "say \"hi\"",     "it's \"both\"",
      "[beta]",           "x//y",             "a/*b*/",         "a=b",            "<x>",
      "p|q",              "(paren)",          "tab\there",      " lead",          "trail ",
      "caf\xe9 \xff\x80", "back\\slash",      "",               "\"",             "'",
      "a'b\"c\\d",        "//",               "x,",
  };
  int n = 0;
  for (const char* name : names) {
    const std::string process = std::string(name) + ".exe";
    ASSERT_NE(panel.profiles.CreateProfile(name, process.c_str()), nullptr) << name;
    ++n;
  }
  panel.profiles.SaveProfiles();
  const std::string file = ReadFile(Path("GameProfiles.ini"));
  EXPECT_NE(file.find("PROFILE=\"My Game\",\"My Game.exe\",0,900,"), std::string::npos) << file;
  ControlPanel loaded;
  loaded.profiles.LoadProfiles();
  EXPECT_EQ(DumpAll(loaded.profiles.list), DumpAll(panel.profiles.list)) << file;
  loaded.profiles.FreeProfiles();
}

TEST_F(ProfilesTest, NumbersKeepTheirWidths) {
  GameProfile* p = panel.profiles.CreateProfile("Wide", "wide.exe");
  p->maxAngle = 2160;
  p->mainGain = -56;
  p->optionFlags = 255;
  p->filter = 31;
  p->userInertia = -128;
  panel.profiles.SaveProfiles();
  EXPECT_NE(ReadFile(Path("GameProfiles.ini")).find("PROFILE=Wide,wide.exe,255,2160,-56,"), std::string::npos);
  ControlPanel loaded;
  loaded.profiles.LoadProfiles();
  ASSERT_EQ(loaded.profiles.list.Count(), 1u);
  EXPECT_EQ(Dump(*loaded.profiles.list.First()), Dump(*p));
  loaded.profiles.FreeProfiles();

  // A hand-written angle above 16 bits keeps its low 16 bits; bytes their low 8.
  WriteFile(Path("GameProfiles.ini"),
            "[GameProfiles]\r\nPROFILE=Big,big.exe,258,70000,200,-129,0,0,0,0,0,0,0,0,0,0,272\r\n");
  ControlPanel big;
  big.profiles.LoadProfiles();
  ASSERT_EQ(big.profiles.list.Count(), 1u);
  EXPECT_EQ(Dump(*big.profiles.list.First()), "Big|big.exe|" + std::to_string(70000 & 0xFFFF) +
                                                  "|-56|127|0|0|0|0|0|0|2|16|0|0|0|0");
  big.profiles.FreeProfiles();
}

TEST_F(ProfilesTest, BadLinesLoadWhatTheyCan) {
  struct Case {
    const char* what;
    const char* lines;  // inside [GameProfiles]
    std::vector<std::string> profiles;
  };
  const std::string zeros = "|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0";
  const Case cases[] = {
      {"no values", "PROFILE=\r\n", {"Missing parameter|Missing parameter" + zeros}},
      {"name only", "PROFILE=Solo\r\n", {"Solo|Missing parameter" + zeros}},
      {"missing numbers read 0", "PROFILE=g,g.exe,1,1080\r\n", {"g|g.exe|1080|0|0|0|0|0|0|0|0|1|0|0|0|0|0"}},
      {"extra values are left", "PROFILE=g,g.exe,0,900,1,2,3,4,5,6,7,8,9,10,11,12,13,99,98\r\n",
       {"g|g.exe|900|1|2|3|4|5|6|7|8|0|13|9|10|11|12"}},
      // ",," is one separator: the 1s move up by one and the filter is missing.
      {"garbage numbers follow the number rule", "PROFILE=g,g.exe,zz,1.5,0x10,+7,-3,ff,12345678901,x,,1,1,1,1,1,1\r\n",
       {"g|g.exe|5|16|7|-3|-1|0|0|1|1|0|0|1|1|1|1"}},
      {"second line of a name is skipped", "PROFILE=Race,one.exe,0,540\r\nPROFILE=race,two.exe,0,720\r\n",
       {"Race|one.exe|540|0|0|0|0|0|0|0|0|0|0|0|0|0|0"}},
      {"unquoted comma shifts the values", "PROFILE=Rally,Dirt,rally.exe,900\r\n",
       {"Rally|Dirt|900|0|0|0|0|0|0|0|0|0|0|0|0|0|0"}},
      {"unknown keys and comments are passed over", "// mine\r\nOTHER=1,2\r\nPROFILE=k,k.exe\r\n",
       {"k|k.exe" + zeros}},
      {"a last line without its line end is read whole", "PROFILE=a,a.exe\r\nPROFILE=b,b.exe",
       {"a|a.exe" + zeros, "b|b.exe" + zeros}},
      {"high bytes are kept", "PROFILE=\xe9t\xe9,\xff.exe\r\n", {"\xe9t\xe9|\xff.exe" + zeros}},
  };
  for (const Case& c : cases) {
    WriteFile(Path("GameProfiles.ini"), std::string("[gameprofiles]\r\n") + c.lines);
    ControlPanel loaded;
    loaded.profiles.LoadProfiles();
    EXPECT_EQ(DumpAll(loaded.profiles.list), c.profiles) << c.what;
    loaded.profiles.FreeProfiles();
  }
}

TEST_F(ProfilesTest, LongTextsAreCutTo63) {
  const std::string longName(100, 'n');
  const std::string longProcess(200, 'p');
  WriteFile(Path("GameProfiles.ini"), "[GameProfiles]\r\nPROFILE=" + longName + "," + longProcess + "\r\nPROFILE=" +
                                          longName.substr(0, 63) + "x,other.exe\r\n");
  panel.profiles.LoadProfiles();
  ASSERT_EQ(panel.profiles.list.Count(), 1u) << "the cut names are the same name";
  EXPECT_EQ(std::string(panel.profiles.list.First()->name), longName.substr(0, 63));
  EXPECT_EQ(std::string(panel.profiles.list.First()->processName), longProcess.substr(0, 63));
  EXPECT_EQ(panel.profiles.CreateProfile((longName + "zz").c_str(), "y.exe"), nullptr);
}

TEST_F(ProfilesTest, TenThousandProfiles) {
  std::string file = "[GameProfiles]\r\n";
  for (int i = 0; i < 10000; ++i) {
    file += "PROFILE=\"Game " + std::to_string(i) + "\",g" + std::to_string(i) + ".exe,0," +
            std::to_string(180 + i % 1981) + ",1,2,3,4,5,6,7,8,9,10,11,12," + std::to_string(i % 31 + 1) + "\r\n";
  }
  WriteFile(Path("GameProfiles.ini"), file);
  panel.profiles.LoadProfiles();
  ASSERT_EQ(panel.profiles.list.Count(), 10000u);
  EXPECT_EQ(Dump(*panel.profiles.list.At(9999)), "Game 9999|g9999.exe|" + std::to_string(180 + 9999 % 1981) +
                                                 "|1|2|3|4|5|6|7|8|0|" + std::to_string(9999 % 31 + 1) + "|9|10|11|12");
  panel.profiles.SaveProfiles();
  EXPECT_EQ(ReadFile(Path("GameProfiles.ini")), file + "\r\n");
}

TEST_F(ProfilesTest, SavingNeverSpoilsAProfileThatWasReadWhole) {
  std::mt19937 random(11);
  auto randomText = [&random](size_t most) {
    std::string text(random() % (most + 1), ' ');
    for (char& c : text) {
      do {
        c = static_cast<char>(random() % 256);
      } while (c == '\r' || c == '\n' || c == 0 || c == 0x1A);
    }
    return text;
  };
  for (int round = 0; round < 150; ++round) {
    // Profiles with arbitrary names made in the program, saved, then the file
    // damaged around them by hand; what loads must save and load unchanged.
    ControlPanel made;
    for (int i = 0; i < 8; ++i) {
      GameProfile* p = made.profiles.CreateProfile(randomText(70).c_str(), randomText(70).c_str());
      if (!p) continue;
      p->maxAngle = random() % 65536;
      p->mainGain = static_cast<int8_t>(random());
      p->filter = static_cast<uint8_t>(random());
    }
    made.profiles.SaveProfiles();
    ControlPanel first;
    first.profiles.LoadProfiles();
    EXPECT_EQ(DumpAll(first.profiles.list), DumpAll(made.profiles.list)) << "round " << round;
    made.profiles.FreeProfiles();
    first.profiles.FreeProfiles();

    std::string file = ReadFile(Path("GameProfiles.ini"));
    std::string junk = randomText(60);
    file.insert(random() % (file.size() + 1), round % 3 ? "\r\nPROFILE=" + junk + "\r\n" : junk);
    WriteFile(Path("GameProfiles.ini"), file);
    ControlPanel damaged;
    damaged.profiles.LoadProfiles();
    const std::vector<std::string> read = DumpAll(damaged.profiles.list);
    damaged.profiles.SaveProfiles();
    ControlPanel again;
    again.profiles.LoadProfiles();
    EXPECT_EQ(DumpAll(again.profiles.list), read) << "round " << round;
    damaged.profiles.FreeProfiles();
    again.profiles.FreeProfiles();
  }
}

TEST_F(ProfilesTest, AFailedSaveLeavesTheOldFile) {
  const std::string old = "[GameProfiles]\r\nPROFILE=Old,old.exe\r\n\r\n";
  WriteFile(Path("GameProfiles.ini"), old);
  panel.profiles.LoadProfiles();
  panel.profiles.CreateProfile("New", "new.exe");
  for (atomic_file::Step step : {atomic_file::Step::kWrite, atomic_file::Step::kMove}) {
    atomic_file::FailStepForTest(step);
    panel.profiles.SaveProfiles();
    EXPECT_EQ(ReadFile(Path("GameProfiles.ini")), old);
  }
  atomic_file::FailStepForTest(atomic_file::Step::kNone);
}

// ---- the list against the page and the board

TEST_F(ProfilesTest, FillClampsTheSavedIndex) {
  const struct {
    int saved;
    int selected;
  } cases[] = {{7, 2}, {2, 2}, {0, 0}, {-5, 0}};
  for (const auto& c : cases) {
    panel.profiles.FreeProfiles();
    for (const char* name : {"A", "B", "C"}) panel.profiles.CreateProfile(name, "x.exe");
    panel.profiles.gameProfileId = c.saved;
    panel.profiles.FillProfileList();
    EXPECT_EQ(page.ComboTexts(IDC_PROFILE_LIST), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(page.Selected(IDC_PROFILE_LIST), c.selected) << c.saved;
    EXPECT_EQ(panel.profiles.gameProfileId, c.selected) << c.saved;
    EXPECT_EQ(panel.profiles.CurrentProfile(), panel.profiles.list.At(c.selected));
  }
}

TEST_F(ProfilesTest, RemoveSelectsTheItemBefore) {
  Make({"Default", "A", "B", "C", "D"});
  panel.profiles.RemoveProfile(3);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Default", "A", "B", "D"}));
  EXPECT_EQ(page.ComboTexts(IDC_PROFILE_LIST), Names());
  EXPECT_EQ(page.Selected(IDC_PROFILE_LIST), 2);
  EXPECT_EQ(std::string(panel.profiles.CurrentProfile()->name), "B");

  panel.profiles.RemoveProfile(0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B", "D"}));
  EXPECT_EQ(page.Selected(IDC_PROFILE_LIST), 0);
  EXPECT_EQ(std::string(panel.profiles.CurrentProfile()->name), "A");
  // Every item's data is its own profile.
  const auto& items = page.combos[IDC_PROFILE_LIST];
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].data, reinterpret_cast<intptr_t>(panel.profiles.list.At(static_cast<int>(i))));
  }

  panel.profiles.RemoveProfile(7);  // no such item
  EXPECT_EQ(Names().size(), 3u);
  for (int i = 0; i < 3; ++i) panel.profiles.RemoveProfile(0);
  EXPECT_EQ(panel.profiles.list.Count(), 0u);
  EXPECT_EQ(panel.profiles.CurrentProfile(), nullptr);
  EXPECT_EQ(page.Selected(IDC_PROFILE_LIST), -1);
}

TEST_F(ProfilesTest, CreateRefusesAnExistingNameInAnyCase) {
  Make({"Default"});
  EXPECT_EQ(panel.profiles.CreateProfile("DEFAULT", "other.exe"), nullptr);
  GameProfile* p = panel.profiles.CreateProfile("Rally", "rally.exe");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Dump(*p), "Rally|rally.exe|900|127|127|127|127|127|127|127|127|0|16|0|0|0|0");
  EXPECT_EQ(page.ComboTexts(IDC_PROFILE_LIST), (std::vector<std::string>{"Default", "Rally"}));
}

TEST_F(ProfilesTest, ApplySendsTheFourteenWritesInOrderThenTheFilter) {
  Connect();
  // Flags 3, angle 2160, main gain 100 .. force table 30, user effects 1 .. 4, filter 25.
  WriteFile(Path("GameProfiles.ini"),
            "[GameProfiles]\r\nPROFILE=Rally,rally.exe,3,2160,100,90,80,70,60,50,40,30,1,2,3,4,25\r\n");
  panel.profiles.LoadProfiles();
  GameProfile* p = panel.profiles.list.First();
  ASSERT_EQ(Dump(*p), "Rally|rally.exe|2160|100|90|80|70|60|50|40|30|3|25|1|2|3|4");
  BindMainPage(panel, page);
  board.SetParameter(77, 9);
  board.ClearReceived();
  panel.profiles.ApplyProfile(p);
  const Bytes expected = {'P', 8,  4, 0, 0, 0x08, 0x70, 'P', 17, 1, 100, 'P', 18, 1, 90, 'P', 19, 1, 80,
                          'P', 20, 1, 70, 'P', 21, 1, 60, 'P', 22, 1, 50, 'P', 23, 1, 40, 'P', 24, 1, 30,
                          'P', 34, 1, 3,  'P', 30, 1, 1,  'P', 31, 1, 2,  'P', 32, 1, 3,  'P', 33, 1, 4,
                          'P', 77, 1, 25};  // the filter last, so the board has what the page shows
  EXPECT_EQ(port.written, expected);
  EXPECT_EQ(board.Received(), expected);
  EXPECT_EQ(board.Parameter(8), 2160);
  EXPECT_EQ(board.Parameter(77), 25) << "the board has the filter the page shows";
  EXPECT_EQ(page.sliders[IDC_FILTER_SLIDER], 25);
  EXPECT_EQ(page.Text(IDC_FILTER_VALUE), "80 %");
  EXPECT_EQ(page.sliders[IDC_MAX_ANGLE_SLIDER], 2160);
  EXPECT_EQ(page.sliders[IDC_USER_INERTIA_SLIDER], 4);
  EXPECT_TRUE(page.checks[IDC_INVERT]);
  EXPECT_TRUE(page.checks[IDC_MANUAL]);
  EXPECT_FALSE(panel.link.statusHold) << "the hold flag is restored";

  // Without a board only the page changes.
  port.written.clear();
  panel.link.linkState = kConnected;
  p->optionFlags = 0;
  panel.profiles.ApplyProfile(p);
  EXPECT_TRUE(port.written.empty());
  EXPECT_FALSE(page.checks[IDC_INVERT]);
}

TEST_F(ProfilesTest, ApplyKeepsHandEditedValuesInTheSlidersRanges) {
  Connect();
  GameProfile* p = panel.profiles.CreateProfile("Odd", "odd.exe");
  p->maxAngle = 0;
  p->mainGain = -56;
  p->filter = 0;
  p->optionFlags = 0x84;  // flags carry their bits as they are
  panel.profiles.ApplyProfile(p);
  EXPECT_EQ(panel.link.parameters[kEntryMaxAngle].value, 180);
  EXPECT_EQ(panel.link.parameters[kEntryMainGain].value, 0);
  EXPECT_EQ(panel.link.parameters[kEntryFilter].value, 1);
  EXPECT_EQ(panel.link.parameters[kEntryFlags].value, 0x84);
  EXPECT_EQ(board.Parameter(8), 180);
  EXPECT_EQ(board.Parameter(34), static_cast<int8_t>(0x84));
}

TEST_F(ProfilesTest, StoreCopiesTheCurrentValues) {
  GameProfile* p = panel.profiles.CreateProfile("S", "s.exe");
  const int32_t values[15] = {1440, 1, 2, 3, 4, 5, 6, 7, 8, 2, 31, 9, 10, 11, 12};
  SetWheelValues(panel, values);
  panel.profiles.StoreIntoProfile(p);
  EXPECT_EQ(Dump(*p), "S|s.exe|1440|1|2|3|4|5|6|7|8|2|31|9|10|11|12");
}

// ---- the dialog and the page's commands

// The dialog as the user fills it in: what it showed, and the texts typed.
struct DialogRun {
  FakeDialog dialog;
  std::string name;
  std::string process;
  bool typed = false;
  int runs = 0;
  const GameProfile* openedFor = nullptr;
};
DialogRun* gRun = nullptr;

void RunDialog(GameProfiles& profiles, DialogControls&, GameProfile* profile) {
  ++gRun->runs;
  gRun->openedFor = profile;
  InitProfileDialog(gRun->dialog, profile);
  if (!gRun->typed) return;  // closed with the window's close box
  gRun->dialog.SetItemText(IDC_PROFILE_NAME, gRun->name.c_str());
  gRun->dialog.SetItemText(IDC_PROCESS_NAME, gRun->process.c_str());
  ConfirmProfileDialog(profiles, gRun->dialog, profile);
}

class ProfileCommands : public ProfilesTest {
 protected:
  void SetUp() override {
    ProfilesTest::SetUp();
    gRun = &run;
    panel.profiles.runDialog = RunDialog;
  }
  void TearDown() override {
    gRun = nullptr;
    ProfilesTest::TearDown();
  }
  void Type(const std::string& name, const std::string& process) {
    run.name = name;
    run.process = process;
    run.typed = true;
  }
  DialogRun run;
};

TEST_F(ProfileCommands, DialogShowsTheProfileWithItsNameLocked) {
  Make({"Default", "Rally"});
  panel.profiles.SelectProfile(1);
  run.typed = false;
  EditProfileCommand(panel.profiles, page);
  EXPECT_EQ(run.openedFor, panel.profiles.list.At(1));
  EXPECT_EQ(run.dialog.Text(IDC_PROFILE_NAME), "Rally");
  EXPECT_EQ(run.dialog.Text(IDC_PROCESS_NAME), "Rally.exe");
  EXPECT_FALSE(run.dialog.enabled.at(IDC_PROFILE_NAME));

  FakeDialog empty;
  InitProfileDialog(empty, nullptr);
  EXPECT_EQ(empty.Text(IDC_PROFILE_NAME), "");
  EXPECT_EQ(empty.Text(IDC_PROCESS_NAME), "");
  EXPECT_EQ(empty.enabled.count(IDC_PROFILE_NAME), 0u);
}

TEST_F(ProfileCommands, EditChangesOnlyTheProcessName) {
  Make({"Default", "Rally"});
  panel.profiles.SelectProfile(1);
  Type("Ignored", "dirt.exe");  // the name field is locked: what it holds is not used
  EditProfileCommand(panel.profiles, page);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Default", "Rally"}));
  EXPECT_EQ(std::string(panel.profiles.list.At(1)->processName), "dirt.exe");
  EXPECT_EQ(panel.profiles.gameProfileId, 1);
  EXPECT_EQ(run.dialog.endResults, std::vector<int>{1});
}

TEST_F(ProfileCommands, DefaultIsProtectedByItsExactName) {
  Make({"Default", "A"});
  EditProfileCommand(panel.profiles, page);
  RemoveProfileCommand(panel.profiles, page);
  ASSERT_EQ(page.messages.size(), 2u);
  EXPECT_EQ(page.messages[0].text, "You can't edit the default profile");
  EXPECT_EQ(page.messages[0].style, kMessageWarning | kMessageOk);
  EXPECT_EQ(page.messages[1].text, "You can't remove the default profile");
  EXPECT_EQ(page.messages[1].style, kMessageWarning | kMessageOk);
  EXPECT_EQ(run.runs, 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Default", "A"}));

  // A list without "Default" but with "default": that one is the user's own.
  panel.profiles.FreeProfiles();
  Make({"default", "B"});
  page.messages.clear();
  EditProfileCommand(panel.profiles, page);
  EXPECT_EQ(run.runs, 1);
  page.answers = {kAnswerYes};
  RemoveProfileCommand(panel.profiles, page);
  ASSERT_EQ(page.messages.size(), 1u);
  EXPECT_EQ(page.messages[0].text, "Remove the profile \"default\"?");
  EXPECT_EQ(page.messages[0].style, kMessageQuestion | kMessageYesNo);
  EXPECT_EQ(Names(), std::vector<std::string>{"B"});
}

TEST_F(ProfileCommands, RemoveAsksFirst) {
  Make({"Default", "A", "B"});
  panel.profiles.SelectProfile(2);
  page.answers = {kAnswerNo};
  RemoveProfileCommand(panel.profiles, page);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Default", "A", "B"}));
  page.answers = {kAnswerYes};
  RemoveProfileCommand(panel.profiles, page);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Default", "A"}));
  EXPECT_EQ(page.Selected(IDC_PROFILE_LIST), 1);
}

TEST_F(ProfileCommands, NewWithAnExistingNameAsks) {
  Make({"Default", "Rally"});
  const std::vector<std::string> before = DumpAll(panel.profiles.list);
  run.dialog.answer = kAnswerNo;
  Type("RALLY", "new.exe");
  NewProfileCommand(panel.profiles, page);
  ASSERT_EQ(run.dialog.messages.size(), 1u);
  EXPECT_EQ(run.dialog.messages[0].text, "Profile already exists, do you want to update it ?");
  EXPECT_EQ(run.dialog.messages[0].style, kMessageQuestion | kMessageYesNo);
  EXPECT_EQ(DumpAll(panel.profiles.list), before) << "answered No";
  EXPECT_EQ(panel.profiles.gameProfileId, 0);
  EXPECT_EQ(run.dialog.endResults, std::vector<int>{1});

  run.dialog.answers = {kAnswerYes};
  Type("default", "game.exe");  // "Default" can be updated this way
  NewProfileCommand(panel.profiles, page);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Default", "Rally"}));
  EXPECT_EQ(std::string(panel.profiles.list.At(0)->processName), "game.exe");
  EXPECT_EQ(page.Selected(IDC_PROFILE_LIST), 0);
}

TEST_F(ProfileCommands, NewNameStartsFromTheDefaultsAndIsApplied) {
  Make({"Default"});
  Connect();
  const int32_t current[15] = {1080, 5, 5, 5, 5, 5, 5, 5, 5, 0, 3, 5, 5, 5, 5};
  SetWheelValues(panel, current);
  Type(std::string(127, 'N'), "gt.exe");
  NewProfileCommand(panel.profiles, page);
  ASSERT_EQ(panel.profiles.list.Count(), 2u);
  EXPECT_EQ(Dump(*panel.profiles.list.At(1)),
            std::string(63, 'N') + "|gt.exe|900|127|127|127|127|127|127|127|127|0|16|0|0|0|0");
  EXPECT_EQ(page.Selected(IDC_PROFILE_LIST), 1);
  EXPECT_EQ(board.Parameter(8), 900) << "selecting it applies it";
  EXPECT_EQ(panel.link.parameters[kEntryFilter].value, 16);
}

TEST_F(ProfileCommands, AClosedDialogOrNothingSelectedChangesNothing) {
  panel.profiles.CreateProfile("A", "a.exe");  // loaded but the list not shown yet
  EditProfileCommand(panel.profiles, page);
  RemoveProfileCommand(panel.profiles, page);
  EXPECT_EQ(run.runs, 0);
  EXPECT_TRUE(page.messages.empty());

  panel.profiles.FillProfileList();
  NewProfileCommand(panel.profiles, page);  // closed with its close box
  EXPECT_EQ(run.runs, 1);
  EXPECT_EQ(Names(), std::vector<std::string>{"A"});
}

TEST_F(ProfileCommands, NewWithoutANameMakesNothingAndStaysOpen) {
  Make({"Default"});
  for (const char* name : {"", "\r\n"}) {
    run.dialog.endResults.clear();
    Type(name, "game.exe");
    NewProfileCommand(panel.profiles, page);
    EXPECT_EQ(Names(), std::vector<std::string>{"Default"}) << "name [" << name << "]";
    EXPECT_TRUE(run.dialog.endResults.empty()) << "the dialog waits for a name";
  }
}

// ---- written to disk a while after the last change, while the program runs

TEST(DeferredWrite, OnceTheChangesStopAndAgainLaterWhenAWriteFailed) {
  DeferredWrite write;
  write.Written(1);
  uint64_t now = 1000;
  for (uint64_t value = 2; now < 6000; now += 33, ++value) EXPECT_FALSE(write.Due(value, now)) << "a drag";
  EXPECT_FALSE(write.Due(7, now));
  EXPECT_FALSE(write.Due(7, now + kSaveDelayMs - 1));
  ASSERT_TRUE(write.Due(7, now + kSaveDelayMs));
  write.Done(false, now += kSaveDelayMs);
  EXPECT_FALSE(write.Due(7, now + kSaveRetryMs - 1));
  ASSERT_TRUE(write.Due(7, now + kSaveRetryMs));
  write.Done(true, now += kSaveRetryMs);
  EXPECT_FALSE(write.Due(7, now + 60000)) << "written once";
}

TEST_F(ProfilesTest, ANewProfileASliderAndAnOptionReachTheDiskWithinSeconds) {
  uint64_t now = 1000;
  auto run = [&](uint64_t ms) {
    for (const uint64_t end = now + ms; now < end; now += 33) panel.SaveChanges(now);
  };
  WriteFile(Path("config.ini"), "[Config]\r\nFLAGS=0\r\n");
  panel.LoadSettings();
  panel.profiles.FillProfileList();
  ASSERT_NE(panel.profiles.CreateProfile("Rally", "rally.exe"), nullptr);
  panel.link[kEntryMainGain].value = 64;
  panel.profiles.StoreIntoProfile(panel.profiles.CurrentProfile());  // what a slider step does
  run(1900);
  EXPECT_EQ(ReadFile(Path("config.ini")), "[Config]\r\nFLAGS=0\r\n") << "what was read is not written again";
  EXPECT_FALSE(std::filesystem::exists(Path("GameProfiles.ini"))) << "not at once";
  panel.settings.flags |= Settings::kFlagDetectGame;
  run(2200);
  EXPECT_NE(ReadFile(Path("GameProfiles.ini")).find("PROFILE=Rally,rally.exe,"), std::string::npos);
  EXPECT_NE(ReadFile(Path("GameProfiles.ini")).find("PROFILE=Default,NoLife.exe,0,900,64,"), std::string::npos);
  EXPECT_NE(ReadFile(Path("config.ini")).find("FLAGS=2\r\n"), std::string::npos);
}

// ---- a profile made without a board takes the board's values at the first
// handshake, however many starts later, and is never written to a board.
// (A board read before the list is filled is the e2e profiles_board_kept.)

TEST_F(ProfilesTest, TheBoardKeepsItsTuningAfterStartsWithoutIt) {
  for (int start = 0; start < 2; ++start) {
    ControlPanel noBoard;
    noBoard.profiles.LoadProfiles();
    noBoard.profiles.FillProfileList();
    noBoard.SaveForExit();
  }
  board.SetParameter(8, 1234);
  board.SetParameter(17, 77);
  panel.profiles.LoadProfiles();
  panel.profiles.FillProfileList();
  panel.link.ChooseWheelPort(7);  // plugged in now
  EXPECT_EQ(board.Parameter(8), 1234);
  EXPECT_EQ(board.Parameter(17), 77);
  EXPECT_EQ(panel.link[kEntryMaxAngle].value, 1234) << "the page shows the board's values";
  panel.SaveForExit();
  const std::string file = ReadFile(Path("GameProfiles.ini"));
  EXPECT_EQ(file.rfind("[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,1234,77,", 0), 0u) << file;
  EXPECT_EQ(std::count(file.begin(), file.end(), ','), 16) << "no longer marked: " << file;
}

TEST_F(ProfilesTest, EveryPlaceholderProfileTakesTheBoardsValuesNotOnlyTheSelected) {
  panel.profiles.FillProfileList();  // "Default", made without a board
  GameProfile* rally = panel.profiles.CreateProfile("Rally", "rally.exe");
  ASSERT_NE(rally, nullptr);
  rally->maxAngle = 540;
  panel.profiles.SelectProfile(1);
  board.SetParameter(8, 1234);
  panel.link.ChooseWheelPort(7);
  EXPECT_EQ(board.Parameter(8), 540) << "the selected profile is the user's: applied";
  panel.profiles.SelectProfile(0);
  EXPECT_EQ(board.Parameter(8), 1234) << "Default holds what the board had, not 900";
}

// ---- the dialog's process name from the programs running now and from a
// file picked with "Browse..."

const std::string kTooLong = std::string(64, 'y') + ".exe";
bool WalkFake(ProcessVisitor visit, void* context) {
  for (const char* name : {"svchost.exe", "iRacing.exe", "SVCHOST.EXE", "acc.exe", "", kTooLong.c_str()}) {
    visit(context, name);
  }
  return true;
}
const char* gPicked;  // null: cancelled
bool PickFake(DialogControls&, char* path, int size) {
  if (gPicked) std::snprintf(path, static_cast<size_t>(size), "C:\\Games\\%s", gPicked);
  return gPicked != nullptr;
}

TEST(GameProfileDialog, ARunningProgramOrAFilesNameWithoutItsFolder) {
  FakeDialog dialog;
  RunningPrograms programs;
  FillRunningPrograms(dialog, WalkFake, &programs);
  EXPECT_EQ(dialog.ComboTexts(IDC_RUNNING_PROGRAMS), (std::vector<std::string>{"acc.exe", "iRacing.exe", "SVCHOST.EXE"}));
  dialog.Pick(IDC_RUNNING_PROGRAMS, 1);
  RunningProgramPicked(dialog, programs);
  EXPECT_EQ(dialog.Text(IDC_PROCESS_NAME), "iRacing.exe");

  for (const char* picked : {"My Game (beta).bin", "", kTooLong.c_str(), static_cast<const char*>(nullptr)}) {
    FakeDialog browse;
    gPicked = picked;
    BrowseForProgram(browse, PickFake);
    const bool taken = picked && *picked && picked != kTooLong.c_str();
    EXPECT_EQ(browse.Text(IDC_PROCESS_NAME), taken ? picked : "");
    EXPECT_EQ(browse.messages.size(), picked == kTooLong.c_str() ? 1u : 0u);
  }
}

}  // namespace
}  // namespace profilestest
