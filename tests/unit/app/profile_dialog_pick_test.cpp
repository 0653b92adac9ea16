// The "Game Profile" dialog's process name from the programs running now and
// from a file picked with "Browse...".
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "profiles/profile_dialog.h"

namespace {

bool WalkFake(ProcessVisitor visit, void* context) {
  const std::string tooLong = std::string(64, 'x') + ".exe";
  for (const char* name : {"svchost.exe", "iRacingSim64DX11.exe", "SVCHOST.EXE", "acc.exe", "", tooLong.c_str()}) {
    visit(context, name);
  }
  return true;
}

TEST(GameProfileDialog, RunningProgramsOnceEachSortedAndAPickFillsTheField) {
  FakeDialog dialog;
  RunningPrograms programs;
  FillRunningPrograms(dialog, WalkFake, &programs);
  const std::vector<std::string> shown = dialog.ComboTexts(IDC_RUNNING_PROGRAMS);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0], "acc.exe");
  EXPECT_EQ(shown[1], "iRacingSim64DX11.exe");
  dialog.Pick(IDC_RUNNING_PROGRAMS, 1);
  RunningProgramPicked(dialog, programs);
  EXPECT_EQ(dialog.Text(IDC_PROCESS_NAME), "iRacingSim64DX11.exe");
}

const char* gPicked = nullptr;  // null: the user cancelled
bool PickFake(DialogControls&, char* path, int size) {
  if (gPicked) std::snprintf(path, static_cast<size_t>(size), "%s", gPicked);
  return gPicked != nullptr;
}

TEST(GameProfileDialog, BrowseTakesTheFilesNameWithoutItsFolder) {
  const std::string tooLong = "C:\\Games\\" + std::string(64, 'y') + ".exe";
  const struct {
    const char* picked;
    const char* field;  // null: not touched
  } cases[] = {{"C:\\Program Files (x86)\\iRacing\\iRacingSim64DX11.exe", "iRacingSim64DX11.exe"},
               {"\\\\server\\games\\My Game (beta).bin", "My Game (beta).bin"},
               {"C:\\Games\\", nullptr}, {tooLong.c_str(), nullptr}, {nullptr, nullptr}};
  for (const auto& c : cases) {
    FakeDialog dialog;
    gPicked = c.picked;
    BrowseForProgram(dialog, PickFake);
    EXPECT_EQ(dialog.Text(IDC_PROCESS_NAME), c.field ? c.field : "") << (c.picked ? c.picked : "cancelled");
    EXPECT_EQ(dialog.messages.size(), c.picked == tooLong.c_str() ? 1u : 0u);
  }
}

}  // namespace
