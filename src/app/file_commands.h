#pragma once
// Settings that travel: the board's settings to a file and back ("Save
// Board...", "Load Board..."), profiles shared as files ("Export...",
// "Import..."), "Start with Windows", and a profile chosen from outside (a
// second start's "-profile NAME"). The page commands call these; the file
// dialogs and the start-up entry are the platform's, behind DesktopServices.
#include <cstddef>

class ControlPanel;
class DialogControls;

enum class FileDialog { kSaveBoard, kLoadBoard, kExportProfile, kImportProfile };

struct DesktopServices {
  // The standard dialog of that kind over the page; the chosen file's path
  // (UTF-8) into path. False when the user cancelled.
  bool (*chooseFile)(DialogControls& page, FileDialog kind, char* path, size_t size) = nullptr;
  // The user's start-up entry for this program.
  bool (*startsWithWindows)() = nullptr;
  bool (*setStartWithWindows)(bool on) = nullptr;
};
DesktopServices& Desktop();

constexpr size_t kChosenPathMax = 1024;

// The messages (texts of the program).
constexpr char kNoBoardToSave[] = "There is no board to save the settings of. Connect it and try again.";
constexpr char kNoBoardToLoad[] = "There is no board to load the settings into. Connect it and try again.";
constexpr char kBoardSaveFailed[] = "The board settings could not be written to that file.";
constexpr char kNotBoardSettings[] = "This file holds no board settings. Nothing was changed.";
constexpr char kDamagedBoardSettings[] = "This file of board settings is damaged (%s). Nothing was changed.";
constexpr char kUnreadableFile[] = "This file could not be read. Nothing was changed.";
constexpr char kNothingDiffers[] = "The board already has every setting of this file.";
constexpr char kLoadQuestion[] = "%d of the board's settings differ from this file. Write them to the board ?";
constexpr char kBoardGone[] =
    "The board stopped answering after %d of %d settings. The rest were not written.";
constexpr char kExportFailed[] = "The profile could not be written to that file.";
constexpr char kNotProfiles[] = "This file holds no game profiles. Nothing was imported.";
constexpr char kDamagedProfiles[] = "This profile file is damaged (%s). Nothing was imported.";
constexpr char kReplaceQuestion[] =
    "A profile named \"%s\" exists already. Replace it with the imported one ?\n\n"
    "Yes replaces it. No keeps both: the imported one is named \"%s\".";
constexpr char kUnknownProfile[] = "There is no profile named \"%s\". Nothing was changed.";
constexpr char kStartupEntryFailed[] = "The start-up entry for Tillerset could not be changed.";

void SaveBoardCommand(ControlPanel& panel, DialogControls& page);
void LoadBoardCommand(ControlPanel& panel, DialogControls& page);
void ExportProfileCommand(ControlPanel& panel, DialogControls& page);
void ImportProfileCommand(ControlPanel& panel, DialogControls& page);
// The check box (or the tray menu) asks for on; the entry is written or
// removed and the box shows what the entry is afterwards.
void StartWithWindowsCommand(ControlPanel& panel, DialogControls& page, bool on);
// "-profile NAME" of this start or of a second one: the profile selected and
// applied as a pick in the list; an unknown name is a message on the page.
// True when the profile was found.
bool SelectProfileByName(ControlPanel& panel, DialogControls& page, const char* name);
