// The "Game Profile" dialog's two ways to fill the process name: a program
// from the list of those running now, and a file picked with "Browse...".
#include <gtest/gtest.h>

#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "profiles/profile_dialog.h"

namespace {

std::vector<std::string> gProcesses;
bool WalkFake(ProcessVisitor visit, void* context) {
  for (const std::string& name : gProcesses) visit(context, name.c_str());
  return true;
}
bool WalkFails(ProcessVisitor, void*) { return false; }

TEST(RunningPrograms, EachProgramOnceInAlphabeticalOrderAndAPickFillsTheField) {
  gProcesses = {"svchost.exe", "iRacingSim64DX11.exe", "svchost.exe", "acc.exe", "",
                std::string(64, 'x') + ".exe", "SVCHOST.EXE", "AC2-Win64-Shipping.exe"};
  FakeDialog dialog;
  RunningPrograms programs;
  FillRunningPrograms(dialog, WalkFake, &programs);
  const std::vector<std::string> shown = dialog.ComboTexts(IDC_RUNNING_PROGRAMS);
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0], "AC2-Win64-Shipping.exe");
  EXPECT_EQ(shown[1], "acc.exe");
  EXPECT_EQ(shown[2], "iRacingSim64DX11.exe");
  EXPECT_TRUE(strcasecmp(shown[3].c_str(), "svchost.exe") == 0) << shown[3];

  dialog.Pick(IDC_RUNNING_PROGRAMS, 2);
  RunningProgramPicked(dialog, programs);
  EXPECT_EQ(dialog.Text(IDC_PROCESS_NAME), "iRacingSim64DX11.exe");

  FillRunningPrograms(dialog, WalkFails, &programs);
  EXPECT_TRUE(dialog.ComboTexts(IDC_RUNNING_PROGRAMS).empty());
  RunningProgramPicked(dialog, programs);  // nothing selected: nothing changes
  EXPECT_EQ(dialog.TextCount(IDC_PROCESS_NAME), 1u);
}

const char* gPicked = nullptr;  // null: the user cancelled
bool PickFake(DialogControls&, char* path, int size) {
  if (!gPicked) return false;
  snprintf(path, static_cast<size_t>(size), "%s", gPicked);
  return true;
}

TEST(BrowseForProgram, TheFilesNameWithoutItsFolderAndNothingElse) {
  const std::string tooLong = "C:\\Games\\" + std::string(64, 'y') + ".exe";
  const struct {
    const char* picked;
    const char* field;  // null: the field is not touched
    bool message;
  } cases[] = {
      {"C:\\Program Files (x86)\\iRacing\\iRacingSim64DX11.exe", "iRacingSim64DX11.exe", false},
      {"D:\\Steam\\steamapps\\common\\rFactor 2\\Bin64\\rFactor2.exe", "rFactor2.exe", false},
      {"\\\\server\\games\\My Game (beta).bin", "My Game (beta).bin", false},
      {"E:launcher", "launcher", false},
      {"C:\\Games\\", nullptr, false},
      {tooLong.c_str(), nullptr, true},
      {nullptr, nullptr, false},
  };
  for (const auto& c : cases) {
    FakeDialog dialog;
    gPicked = c.picked;
    BrowseForProgram(dialog, PickFake);
    const std::string what = c.picked ? c.picked : "(cancelled)";
    if (c.field) {
      EXPECT_EQ(dialog.Text(IDC_PROCESS_NAME), c.field) << what;
    } else {
      EXPECT_EQ(dialog.TextCount(IDC_PROCESS_NAME), 0u) << what;
    }
    EXPECT_EQ(dialog.messages.size(), c.message ? 1u : 0u) << what;
  }
}

}  // namespace
