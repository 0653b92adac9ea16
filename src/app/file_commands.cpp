// Settings that travel: board settings and profiles to files and back, the
// start-up entry, and a profile chosen from outside.
#include "app/file_commands.h"

#include <cstdio>
#include <cstring>

#include "app/control_panel.h"
#include "app/main_page_ids.h"
#include "exec/log.h"
#include "exec/os.h"
#include "profiles/profile_files.h"
#include "ui/dialog_controls.h"
#include "update/board_backup.h"

namespace {

bool Choose(DialogControls& page, FileDialog kind, char* path) {
  path[0] = 0;
  DesktopServices& desktop = Desktop();
  return desktop.chooseFile != nullptr && desktop.chooseFile(page, kind, path, kChosenPathMax) && path[0] != 0;
}

void Inform(DialogControls& page, const char* text) { page.ShowMessage(text, kMessageInformation | kMessageOk); }
void Warn(DialogControls& page, const char* text) { page.ShowMessage(text, kMessageWarning | kMessageOk); }

void FormatVersion(uint32_t version, char* out, size_t size) {
  snprintf(out, size, "%u.%u", (version >> 8) & 0xFFu, version & 0xFFu);
}

// Appends ", name" (or the first name) to out.
void AppendName(char* out, size_t size, uint8_t number, bool first) {
  char name[48];
  BoardSettingName(number, name, sizeof name);
  const size_t used = strlen(out);
  if (used < size) snprintf(out + used, size - used, "%s%s", first ? "" : ", ", name);
}

// What the load did, in one message: the settings the board did not take,
// and what a file of another firmware held that this board has not.
void ReportLoad(DialogControls& page, const BoardSettings& file, const BoardFileCheck& check,
                const BoardWriteResult& result, uint32_t boardFirmware) {
  char text[1024];
  snprintf(text, sizeof text, "%d settings were written to the board.", result.written);
  if (result.missed > 0) {
    size_t used = strlen(text);
    snprintf(text + used, sizeof text - used, "\n\nThe board did not take: ");
    for (int i = 0; i < result.missed; ++i) AppendName(text, sizeof text, result.missedNumbers[i], i == 0);
  }
  // A version of 0 is one not known (a file or a board not asked yet): no comparison then.
  const bool otherFirmware =
      file.firmwareVersion != 0 && boardFirmware != 0 && file.firmwareVersion != boardFirmware;
  if (check.skipped > 0 || otherFirmware) {
    size_t used = strlen(text);
    snprintf(text + used, sizeof text - used, "\n\n");
    if (otherFirmware) {
      char from[16];
      char board[16];
      FormatVersion(file.firmwareVersion, from, sizeof from);
      FormatVersion(boardFirmware, board, sizeof board);
      used = strlen(text);
      snprintf(text + used, sizeof text - used, "The file comes from firmware %s, the board has %s. ", from, board);
    }
    if (check.skipped > 0) {
      used = strlen(text);
      snprintf(text + used, sizeof text - used, "Skipped, as this board has no such settings: ");
      const int listed = check.skipped < kSkippedListed ? check.skipped : kSkippedListed;
      for (int i = 0; i < listed; ++i) AppendName(text, sizeof text, check.skippedNumbers[i], i == 0);
      if (check.skipped > listed) {
        used = strlen(text);
        snprintf(text + used, sizeof text - used, " and %d more", check.skipped - listed);
      }
    }
  }
  page.ShowMessage(text, (result.missed > 0 ? kMessageWarning : kMessageInformation) | kMessageOk);
}

void StoreIntoSelected(ControlPanel& panel) {
  if (GameProfile* profile = panel.profiles.CurrentProfile()) panel.profiles.StoreIntoProfile(profile);
}

struct ClashContext {
  DialogControls* page;
};

bool AskReplace(void* context, const char* name, const char* freeName) {
  char text[320];
  snprintf(text, sizeof text, kReplaceQuestion, name, freeName);
  DialogControls& page = *static_cast<ClashContext*>(context)->page;
  return page.ShowMessage(text, kMessageQuestion | kMessageYesNo) == kAnswerYes;
}

}  // namespace

DesktopServices& Desktop() {
  static DesktopServices services;
  return services;
}

void SaveBoardCommand(ControlPanel& panel, DialogControls& page) {
  WheelLink& link = panel.link;
  if (link.linkState < kWheelFound) {
    Inform(page, kNoBoardToSave);
    return;
  }
  char path[kChosenPathMax];
  if (!Choose(page, FileDialog::kSaveBoard, path)) return;
  // What the board holds now, not what the page last heard of it.
  link.WaitNotBusy();
  link.ReadAllParameters();
  if (link.linkState < kWheelFound) {
    Warn(page, kNoBoardToSave);
    return;
  }
  BoardSettings settings;
  CaptureBoardSettings(link.parameters, link.firmwareVersion, &settings);
  const os::LocalTime now = os::Now();
  char date[32];
  snprintf(date, sizeof date, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day, now.hour,
           now.minute, now.second);
  if (!SaveBoardSettingsUserFile(path, settings, date)) {
    Warn(page, kBoardSaveFailed);
    return;
  }
  LogPrintf(0, "SaveBoardSettings: %d settings saved", settings.count);
}

void LoadBoardCommand(ControlPanel& panel, DialogControls& page) {
  WheelLink& link = panel.link;
  if (link.linkState < kWheelFound) {
    Inform(page, kNoBoardToLoad);
    return;
  }
  char path[kChosenPathMax];
  if (!Choose(page, FileDialog::kLoadBoard, path)) return;
  BoardSettings file;
  BoardFileCheck check;
  char text[256];
  switch (LoadBoardSettingsUserFile(path, &file, &check)) {
    case BoardFileRead::kRead:
      break;
    case BoardFileRead::kUnreadable:
      Warn(page, kUnreadableFile);
      return;
    case BoardFileRead::kNotBoardSettings:
      Warn(page, kNotBoardSettings);
      return;
    case BoardFileRead::kDamaged:
      snprintf(text, sizeof text, kDamagedBoardSettings, check.problem);
      Warn(page, text);
      return;
  }
  BoardSettings now;
  CaptureBoardSettings(link.parameters, link.firmwareVersion, &now);
  const int differ = CountDifferences(now, file);
  if (differ == 0) {
    Inform(page, kNothingDiffers);
    return;
  }
  snprintf(text, sizeof text, kLoadQuestion, differ);
  if (page.ShowMessage(text, kMessageQuestion | kMessageYesNo) != kAnswerYes) return;
  BoardWriteResult result;
  WriteBoardSettings(link, file, &result);
  LogPrintf(0, "LoadBoardSettings: %d written, %d not taken%s", result.written, result.missed,
            result.boardGone ? ", the board went away" : "");
  if (result.boardGone) {
    snprintf(text, sizeof text, kBoardGone, result.written, file.count);
    Warn(page, text);
    return;
  }
  StoreIntoSelected(panel);
  ReportLoad(page, file, check, result, link.firmwareVersion);
}

void ExportProfileCommand(ControlPanel& panel, DialogControls& page) {
  GameProfile* profile = panel.profiles.CurrentProfile();
  if (profile == nullptr) return;
  char path[kChosenPathMax];
  if (!Choose(page, FileDialog::kExportProfile, path)) return;
  if (!ExportProfile(*profile, path)) Warn(page, kExportFailed);
}

void ImportProfileCommand(ControlPanel& panel, DialogControls& page) {
  char path[kChosenPathMax];
  if (!Choose(page, FileDialog::kImportProfile, path)) return;
  ProfileList imported;
  char problem[160];
  char text[320];
  switch (ReadProfileFile(path, &imported, problem, sizeof problem)) {
    case ProfileFileRead::kRead:
      break;
    case ProfileFileRead::kUnreadable:
      Warn(page, kUnreadableFile);
      return;
    case ProfileFileRead::kNotProfiles:
      Warn(page, kNotProfiles);
      return;
    case ProfileFileRead::kDamaged:
      snprintf(text, sizeof text, kDamagedProfiles, problem);
      Warn(page, text);
      return;
  }
  ClashContext clash{&page};
  const int taken = AddImportedProfiles(panel.profiles, imported, AskReplace, &clash);
  imported.Free();
  LogPrintf(0, "ImportProfiles: %d profiles imported", taken);
  // As at exit: the page's values into the selected profile, then the file.
  StoreIntoSelected(panel);
  panel.profiles.SaveProfiles();
}

void StartWithWindowsCommand(ControlPanel&, DialogControls& page, bool on) {
  DesktopServices& desktop = Desktop();
  if (desktop.setStartWithWindows == nullptr || desktop.startsWithWindows == nullptr) return;
  if (!desktop.setStartWithWindows(on)) Warn(page, kStartupEntryFailed);
  const bool now = desktop.startsWithWindows();
  // The tray menu reads the entry when it opens; the page's box is set here.
  page.SetCheck(IDC_START_WITH_WINDOWS, now);
}

bool SelectProfileByName(ControlPanel& panel, DialogControls& page, const char* name) {
  GameProfiles& profiles = panel.profiles;
  GameProfile* profile = profiles.list.Find(name);
  if (profile == nullptr) {
    char text[160];
    snprintf(text, sizeof text, kUnknownProfile, name);
    LogPrintf(0, "SelectProfile: no profile named \"%s\"", name);
    Warn(page, text);
    return false;
  }
  LogPrintf(0, "SelectProfile: \"%s\" chosen from the command line", profile->name);
  profiles.SelectProfile(profiles.list.IndexOf(profile));
  return true;
}
