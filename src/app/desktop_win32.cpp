#include "app/desktop_win32.h"

#include <windows.h>
#include <commdlg.h>

#include "app/file_commands.h"
#include "app/options.h"
#include "exec/log.h"
#include "ui/dialog_controls.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Tillerset";
constexpr DWORD kLongPath = 32768;

// The folder of the last file chosen, for the next dialog of this run.
wchar_t gLastFolder[kLongPath];

struct DialogKind {
  const wchar_t* title;
  const wchar_t* filter;  // pairs of NUL-ended texts, ended by a second NUL
  const wchar_t* defaultName;
  bool save;
};

DialogKind KindOf(FileDialog kind) {
  static const wchar_t kBoardFilter[] = L"Board settings (*.ini)\0*.ini\0All files (*.*)\0*.*\0";
  static const wchar_t kProfileFilter[] = L"Game profiles (*.ini)\0*.ini\0All files (*.*)\0*.*\0";
  switch (kind) {
    case FileDialog::kSaveBoard:
      return {L"Save Board Settings", kBoardFilter, L"BoardSettings.ini", true};
    case FileDialog::kLoadBoard:
      return {L"Load Board Settings", kBoardFilter, L"", false};
    case FileDialog::kExportProfile:
      return {L"Export Profile", kProfileFilter, L"Profile.ini", true};
    case FileDialog::kImportProfile:
    default:
      return {L"Import Profile", kProfileFilter, L"", false};
  }
}

bool ChooseFile(DialogControls& page, FileDialog kind, char* path, size_t size) {
  const DialogKind dialog = KindOf(kind);
  static wchar_t file[kLongPath];
  lstrcpynW(file, dialog.defaultName, kLongPath);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  HWND owner = static_cast<HWND>(page.Window());
  ofn.hwndOwner = owner != nullptr ? GetAncestor(owner, GA_ROOT) : nullptr;
  ofn.lpstrFilter = dialog.filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = kLongPath;
  ofn.lpstrInitialDir = gLastFolder[0] != 0 ? gLastFolder : nullptr;
  ofn.lpstrTitle = dialog.title;
  ofn.lpstrDefExt = L"ini";
  // The program opens its own files relative to the working folder: the
  // dialog must not move it.
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
              (dialog.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  const BOOL chosen = dialog.save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (!chosen) {
    const DWORD error = CommDlgExtendedError();
    if (error != 0) LogPrintf(0, "ChooseFile: the file dialog failed (error %lu)", error);
    return false;
  }
  if (ofn.nFileOffset > 0 && ofn.nFileOffset < kLongPath) {
    lstrcpynW(gLastFolder, file, ofn.nFileOffset);  // the folder without its last separator
  }
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, file, -1, path, static_cast<int>(size), nullptr, nullptr);
  if (bytes <= 0) {
    LogPrintf(0, "ChooseFile: the file's name is too long");
    return false;
  }
  return true;
}

bool StartsWithWindows() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0;
  const bool present = RegQueryValueExW(key, kRunValue, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
                       (type == REG_SZ || type == REG_EXPAND_SZ);
  RegCloseKey(key);
  return present;
}

bool SetStartWithWindows(bool on) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    LogPrintf(0, "StartWithWindows: the Run key could not be opened");
    return false;
  }
  LONG result = ERROR_SUCCESS;
  if (on) {
    static wchar_t program[kLongPath];
    static wchar_t command[kLongPath + 16];
    const DWORD length = GetModuleFileNameW(nullptr, program, kLongPath);
    if (length == 0 || length >= kLongPath || !MakeStartupCommand(program, command, kLongPath + 16)) {
      result = ERROR_BUFFER_OVERFLOW;
    } else {
      const DWORD bytes = static_cast<DWORD>((lstrlenW(command) + 1) * sizeof(wchar_t));
      result = RegSetValueExW(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), bytes);
    }
  } else {
    result = RegDeleteValueW(key, kRunValue);
    if (result == ERROR_FILE_NOT_FOUND) result = ERROR_SUCCESS;
  }
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) LogPrintf(0, "StartWithWindows: the entry could not be changed (error %ld)", result);
  return result == ERROR_SUCCESS;
}

}  // namespace

void InstallDesktopServices() {
  DesktopServices& desktop = Desktop();
  desktop.chooseFile = ChooseFile;
  desktop.startsWithWindows = StartsWithWindows;
  desktop.setStartWithWindows = SetStartWithWindows;
}
