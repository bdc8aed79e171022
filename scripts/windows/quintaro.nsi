; Quintaro's setup for Windows x64, built by scripts/windows/make-setup.sh,
; which passes on makensis's command line:
;   VERSION        the program's version ("2.01")
;   VERSION_QUAD   the same as four numbers for the file's version resource
;   RELEASE        the release folder whose files are installed
;   ICON           the programs' icon
;   FILES          an include of the File lines, made from RELEASE
;   UNFILES        an include of the Delete and RMDir lines for the same files
;   OUTFILE        the setup program to write
;
; A per-user install: no administrator rights, the programs under the user's
; own programs folder, the entry in "Apps and features" under HKCU.
Unicode true
; Debian's wine64 cannot run NSIS's default 32-bit installer (and still
; answers 0 having done nothing); the programs are 64-bit anyway.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Quintaro"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quintaro"
!define UNINSTALLER "uninstall.exe"
; Where the Start-menu entry starts the program: a folder the user may write,
; where Quintaro.ini, station lists and batch files are kept.
!define WORK_FOLDER "$DOCUMENTS\Quintaro"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quintaro"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "Quintaro developers"
VIAddVersionKey /LANG=1033 "LegalCopyright" "GPL-3.0-or-later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION} for you alone; \
no administrator rights are needed.$\r$\n$\r$\n\
${PRODUCT} lists the APRS weather stations your packet engine (AGWPE, port 8000) \
hears, records their reports, and opens a weather display per station.$\r$\n$\r$\n\
Its settings, station lists and batch files are kept in Documents\Quintaro, \
where the Start-menu entry starts it.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
; The GPL asks for no acceptance: the page only shows it.
!define MUI_LICENSEPAGE_TEXT_BOTTOM "${PRODUCT} is free software under the GNU General \
Public License, version 3 or later. You need not accept it to use the program."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${RELEASE}/LICENSES/GPL-3.0.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartFromWorkFolder
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Leggimi_Quintaro.rtf"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the read-me (Leggimi_Quintaro.rtf)"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "${PRODUCT} will be removed from the folder below. \
Your settings, station lists and batch files in Documents\Quintaro and the weather \
history in %LOCALAPPDATA%\quintaro stay. Click Uninstall to start."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; As the Start-menu entry starts it.
Function StartFromWorkFolder
  SetOutPath "${WORK_FOLDER}"
  Exec '"$INSTDIR\quintaro.exe"'
FunctionEnd

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Quintaro" SecMain
  SectionIn RO
  ; An older version's files are taken away by its own uninstaller, which
  ; removes only what it installed, so that nothing of the old list stays
  ; behind; the user's files are not among them.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${UNINSTALLER}"
    DetailPrint "Removing the installed version from $0"
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0'
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}

  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateDirectory "${WORK_FOLDER}"
  ; A shortcut's working folder is the output path when it is made.
  SetOutPath "${WORK_FOLDER}"
  CreateShortcut "$SMPROGRAMS\Quintaro.lnk" "$INSTDIR\quintaro.exe" "" \
    "$INSTDIR\quintaro.exe" 0 SW_SHOWNORMAL "" \
    "APRS weather stations heard by the packet engine"
  SetOutPath "$INSTDIR"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quintaro.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quintaro developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

; What the setup installed and nothing else: Documents\Quintaro with the
; settings, lists and batch files, and the weather history in
; %LOCALAPPDATA%\quintaro, stay.
Section "Uninstall"
  Delete "$SMPROGRAMS\Quintaro.lnk"
  !include "${UNFILES}"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: a file of the user's keeps it.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
