// The board's own tuning is never overwritten by placeholders: a profile made
// before any board answered takes the board's values at the first handshake,
// however many starts lie between, and is never written to a board before.
#include <algorithm>
#include <string>

#include "profiles_fixture.h"

namespace profilestest {
namespace {

// One start and exit without a board, in the same folder.
void StartAndExitWithoutABoard() {
  ControlPanel start;
  start.LoadSettings();
  start.profiles.LoadProfiles();
  start.profiles.FillProfileList();
  start.SaveForExit();
  start.profiles.FreeProfiles();
}

// Walks the commands the board received: a read is "p", number, size; the
// rest of what is read at a handshake is one letter each.
bool WroteAnyParameter(const Bytes& written) {
  for (size_t i = 0; i < written.size(); i += written[i] == 'p' ? 3 : 1) {
    if (written[i] == 'P') return true;
  }
  return false;
}

// Two starts without a board, then one with the board set to 1234 / 77 / 66,
// read before the list is filled (its port known at start) or after it
// (plugged in later).
class BoardValues : public ProfilesTest {
 protected:
  void StartsWithoutThenWithTheBoard(bool boardFirst) {
  StartAndExitWithoutABoard();
  StartAndExitWithoutABoard();
  EXPECT_EQ(ReadFile(Path("GameProfiles.ini")),
            "[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16,1\r\n\r\n")
      << "the mark survives a start without a board";

  board.SetParameter(8, 1234);
  board.SetParameter(17, 77);
  board.SetParameter(18, 66);
  panel.LoadSettings();
  panel.profiles.LoadProfiles();
  if (boardFirst) panel.link.ChooseWheelPort(7);
  panel.profiles.FillProfileList();
  if (!boardFirst) {
    port.written.clear();
    panel.link.ChooseWheelPort(7);
    EXPECT_FALSE(WroteAnyParameter(port.written)) << "nothing written to the board";
  }
  EXPECT_EQ(board.Parameter(8), 1234);
  EXPECT_EQ(board.Parameter(17), 77);
  EXPECT_EQ(board.Parameter(18), 66);
  EXPECT_EQ(panel.link[kEntryMaxAngle].value, 1234) << "the page shows the board's values";
  EXPECT_EQ(panel.link[kEntryMainGain].value, 77);

  panel.SaveForExit();
  const std::string file = ReadFile(Path("GameProfiles.ini"));
  EXPECT_EQ(file.rfind("[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,1234,77,66,", 0), 0u) << file;
  EXPECT_EQ(std::count(file.begin(), file.end(), ','), 16) << "no longer marked: " << file;
  }
};

TEST_F(BoardValues, TheBoardKeepsItsTuningAfterStartsWithoutItFoundAtStart) {
  StartsWithoutThenWithTheBoard(true);
}

TEST_F(BoardValues, TheBoardKeepsItsTuningAfterStartsWithoutItPluggedInLater) {
  StartsWithoutThenWithTheBoard(false);
}

TEST_F(BoardValues, EveryPlaceholderProfileTakesTheBoardsValuesNotOnlyTheSelected) {
  panel.profiles.FillProfileList();  // "Default", made without a board
  GameProfile* rally = panel.profiles.CreateProfile("Rally", "rally.exe");
  ASSERT_NE(rally, nullptr);
  rally->maxAngle = 540;
  panel.profiles.SelectProfile(1);
  board.SetParameter(8, 1234);
  panel.link.ChooseWheelPort(7);
  EXPECT_EQ(board.Parameter(8), 540) << "the selected profile is the user's: applied";

  board.ClearReceived();
  panel.profiles.SelectProfile(0);
  EXPECT_EQ(board.Parameter(8), 1234) << "Default holds what the board had, not 900";
}

}  // namespace
}  // namespace profilestest
