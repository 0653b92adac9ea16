// Game detection: one pass over a scripted process snapshot picks the profile
// of the last profiled game in snapshot order and applies it once.
#include <strings.h>

#include <random>

#include "app/app_tick.h"
#include "app/main_page_ids.h"
#include "app/strip_ids.h"
#include "profiles/game_detection.h"
#include "profiles_fixture.h"

namespace profilestest {
namespace {

std::vector<std::string> gSnapshot;
bool gSnapshotFails = false;
int gWalks = 0;

bool ScriptedWalk(ProcessVisitor visit, void* context) {
  ++gWalks;
  if (gSnapshotFails) return false;
  for (const std::string& name : gSnapshot) visit(context, name.c_str());
  return true;
}

class Detection : public ProfilesTest {
 protected:
  void SetUp() override {
    ProfilesTest::SetUp();
    gSnapshot.clear();
    gSnapshotFails = false;
    gWalks = 0;
    panel.profiles.walkProcesses = ScriptedWalk;
    panel.settings.flags = Settings::kFlagDetectGame;
  }
  // Profiles "name,process" in list order; the list shown with item 0 selected.
  void Profiles(const std::vector<std::pair<std::string, std::string>>& profiles) {
    for (const auto& p : profiles) panel.profiles.CreateProfile(p.first.c_str(), p.second.c_str());
    panel.profiles.gameProfileId = 0;
    panel.profiles.FillProfileList();
  }
  std::string Selected() const {
    const GameProfile* p = panel.profiles.CurrentProfile();
    return p ? p->name : "(none)";
  }
};

TEST_F(Detection, OffOrNothingSelectedDoesNothing) {
  panel.profiles.CreateProfile("Default", "NoLife.exe");
  panel.profiles.CreateProfile("Rally", "rally.exe");
  gSnapshot = {"explorer.exe", "rally.exe"};
  panel.DetectGame();  // nothing selected yet: the list is not shown
  EXPECT_EQ(gWalks, 0);
  EXPECT_EQ(Selected(), "(none)");

  panel.profiles.FillProfileList();
  panel.settings.flags = Settings::kFlagAutoUpdate;  // "Detect Game" off
  panel.DetectGame();
  EXPECT_EQ(gWalks, 0);
  EXPECT_EQ(Selected(), "Default");
}

TEST_F(Detection, TheLastMatchInSnapshotOrderOfTheSameNameWins) {
  struct Case {
    const char* what;
    std::vector<std::string> snapshot;
    const char* selected;
  };
  const Case cases[] = {
      {"the last running game in snapshot order", {"System", "b.exe", "svchost.exe", "a.exe", "explorer.exe"}, "First"},
      {"in the other order", {"a.exe", "b.exe"}, "Second"},
      {"a name shared by profiles picks the last in list order", {"race.exe"}, "Dry"},
      {"no running game keeps the selection", {"explorer.exe"}, "Dry"},
      {"a trailing space", {"Game.exe "}, "Dry"},
      {"a full path", {"C:\\Games\\Game.exe"}, "Dry"},
      {"no extension", {"Game"}, "Dry"},
      {"a pattern is not a pattern", {"*.exe"}, "Dry"},
      {"an empty name", {""}, "Dry"},
      {"the exact name", {"Game.exe"}, "Game"},
      {"back to Dry", {"race.exe"}, "Dry"},
      {"the name in other case, as Windows names files", {"iRacingSim64DX11.exe"}, "iRacing"},
      {"any letter's case", {"\xC3\x89T\xC3\x89.EXE"}, "Ete"},          // ÉTÉ.EXE for été.exe
      {"one letter for one letter only", {"STRASSE.EXE", "a\xFE.exe"}, "Ete"},  // not straße.exe
      {"a byte that is no UTF-8 stays as it is", {"A\xFF.EXE"}, "Byte"},
  };
  Profiles({{"Default", "NoLife.exe"}, {"Second", "b.exe"}, {"First", "a.exe"}, {"Wet", "race.exe"},
            {"Dry", "race.exe"}, {"Game", "Game.exe"}, {"iRacing", "iracingsim64dx11.exe"},
            {"Ete", "\xC3\xA9t\xC3\xA9.exe"}, {"Strasse", "stra\xC3\x9F" "e.exe"}, {"Byte", "a\xFF.exe"}});
  for (const Case& c : cases) {
    gSnapshot = c.snapshot;
    panel.DetectGame();
    EXPECT_EQ(Selected(), c.selected) << c.what;
    EXPECT_EQ(page.Selected(IDC_PROFILE_LIST), panel.profiles.gameProfileId) << c.what;
  }
}

TEST_F(Detection, TheChosenProfileIsAppliedOnceAndStaysAfterTheGameExits) {
  Connect();
  Profiles({{"Default", "NoLife.exe"}, {"Rally", "rally.exe"}, {"Dirt", "dirt.exe"}});
  panel.profiles.list.At(2)->maxAngle = 540;
  port.written.clear();
  gSnapshot = {"rally.exe", "dirt.exe"};
  panel.DetectGame();
  EXPECT_EQ(Selected(), "Dirt");
  EXPECT_EQ(port.written.size(), 7u + 14u * 4u) << "one profile's 14 writes and the filter";
  EXPECT_EQ(board.Parameter(8), 540);

  // Both still run: the outcome is the same, so nothing is written again.
  port.written.clear();
  panel.DetectGame();
  EXPECT_TRUE(port.written.empty());

  gSnapshot = {"explorer.exe"};
  panel.DetectGame();
  EXPECT_EQ(Selected(), "Dirt");
  EXPECT_TRUE(port.written.empty());
}

TEST_F(Detection, NoSnapshotChangesNothing) {
  Profiles({{"Default", "NoLife.exe"}, {"Rally", "rally.exe"}});
  gSnapshot = {"rally.exe"};
  gSnapshotFails = true;
  panel.DetectGame();
  EXPECT_EQ(gWalks, 1);
  EXPECT_EQ(Selected(), "Default");
}

TEST_F(Detection, SameOutcomeAsComparingEveryPairInOrder) {
  // The straightforward scan: every process against every profile in list
  // order, each match selected in turn; its final choice must be the hashed one.
  std::mt19937 random(5);
  const char* const pool[] = {"a.exe", "A.exe", "b.exe", "c.exe", "d.exe", "e", "a.ex", "B.exe"};
  for (int round = 0; round < 300; ++round) {
    panel.profiles.FreeProfiles();
    const int profiles = 1 + random() % 12;
    for (int i = 0; i < profiles; ++i) {
      panel.profiles.CreateProfile(("P" + std::to_string(i)).c_str(), pool[random() % 8]);
    }
    gSnapshot.clear();
    for (int i = random() % 10; i > 0; --i) gSnapshot.push_back(pool[random() % 8]);
    const int start = random() % profiles;
    panel.profiles.gameProfileId = start;
    panel.profiles.FillProfileList();

    const GameProfile* expected = panel.profiles.list.At(start);
    for (const std::string& process : gSnapshot) {
      for (const GameProfile* p = panel.profiles.list.First(); p; p = ProfileList::Next(p)) {
        if (strcasecmp(process.c_str(), p->processName) == 0) expected = p;
      }
    }
    panel.DetectGame();
    EXPECT_EQ(panel.profiles.CurrentProfile(), expected) << "round " << round;
  }
}

TEST_F(Detection, RunsEveryTwoSecondsWhileTheStatusIsHeld) {
  Profiles({{"Default", "NoLife.exe"}, {"Rally", "rally.exe"}});
  static ControlPanel* current = nullptr;
  current = &panel;
  TickHooks hooks;
  hooks.gameDetection = [] { current->DetectGame(); };
  TickTimes times;
  gSnapshot = {"rally.exe"};
  RunTick(&times, hooks, 2000, true, false);
  EXPECT_EQ(gWalks, 0);
  RunTick(&times, hooks, 2001, true, false);
  EXPECT_EQ(gWalks, 1);
  EXPECT_EQ(Selected(), "Rally");
  RunTick(&times, hooks, 4001, true, false);
  EXPECT_EQ(gWalks, 1);
  RunTick(&times, hooks, 4002, true, false);
  EXPECT_EQ(gWalks, 2);
  current = nullptr;
}

TEST(ProcessList, ThisProgramIsListedByItsFileName) {
  bool seen = false;
  ASSERT_TRUE(WalkProcesses(
      [](void* context, const char* name) {
        if (std::string(name) == program_invocation_short_name) *static_cast<bool*>(context) = true;
      },
      &seen));
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace profilestest
