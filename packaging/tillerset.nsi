; The Windows installer, setup.exe: a per-user install that needs no
; administrator rights. Built by scripts/package.sh, which passes
;   VERSION   the program's version ("major.minor", made by the build from the project's version)
;   STAGE     the folder holding the files to install (Tillerset.exe, System\, Tools\)
;   FILES     an include file with the install and uninstall lines of every staged file
;   OUTFILE   where setup.exe goes
;   ICON      the program's icon
;
; The program works in its own folder: config.ini, GameProfiles.ini and
; Log.txt are written beside Tillerset.exe. So the install folder is one the
; user can write to, %LOCALAPPDATA%\Programs\Tillerset, and the uninstaller
; removes only the files this installer put there: the user's settings,
; profiles, log and flasher (Tools\avrdude*) stay, and so does an install
; over an existing one.

; The update check downloads a file of this name, so it stays setup.exe; the
; compatibility shims Windows gives such names change nothing for a per-user
; installer that asks for no elevation.
!pragma warning disable 9000

; A 64-bit installer for a 64-bit program (and Wine without 32-bit support runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "${FILES}"  ; the macros INSTALL_FILES and UNINSTALL_FILES

!define PRODUCT "Tillerset"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tillerset"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tillerset"
InstallDirRegKey HKCU "Software\Tillerset" "InstallDir"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tillerset.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tillerset"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Ostrel Device Configuration Tool"
VIAddVersionKey "FileDescription" "Tillerset installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Tillerset makers"
VIAddVersionKey "LegalCopyright" "Tillerset makers"

; A running copy holds its executable open, so it could not be replaced or
; removed; it also holds the named mutex "Tillerset", which tells.
!macro RefuseWhileRunning
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Tillerset") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_OK|MB_ICONSTOP "Tillerset is running. Close it (Exit in its notification-area menu) and try again." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

Function .onInit
  SetShellVarContext current
  !insertmacro RefuseWhileRunning
FunctionEnd

Function un.onInit
  SetShellVarContext current
  !insertmacro RefuseWhileRunning
FunctionEnd

Section "Tillerset"
  !insertmacro INSTALL_FILES
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut starts the program in its folder (the out path at this point).
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\Tillerset.lnk" "$INSTDIR\Tillerset.exe" "" "$INSTDIR\Tillerset.exe" 0

  WriteRegStr HKCU "Software\Tillerset" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tillerset"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tillerset makers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tillerset.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  !insertmacro UNINSTALL_FILES
  Delete "$INSTDIR\uninstall.exe"
  ; Only empty folders go: the user's files keep theirs.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Tillerset.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Tillerset"
SectionEnd
