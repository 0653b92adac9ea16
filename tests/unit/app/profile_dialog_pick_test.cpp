// The "Game Profile" dialog's process name from the programs running now and
// from a file picked with "Browse...".
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fake_dialog.h"
#include "profiles/profile_dialog.h"

namespace {

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
