// A profile made without a board takes the board's values at the first
// handshake, however many starts later, and is never written to a board.
// (A board read before the list is filled is the e2e profiles_board_kept.)
#include <algorithm>

#include "profiles_fixture.h"

namespace profilestest {
namespace {

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

}  // namespace
}  // namespace profilestest
