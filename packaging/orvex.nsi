; Installer of Orvex: per machine, into the 32-bit program folder.
; Built by scripts/package, which defines VERSION, STAGE_DIR (Orvex.exe, Orvex_DLL.dll,
; README.txt, layout.schema.json) and OUT_FILE.
;
; Command line (besides NSIS's own /S and /D=folder):
;   setup.exe /AUTOSTART        also start Orvex at logon (the optional component)
;   uninstall.exe /DELSETTINGS  delete the user's settings without asking; a silent
;                               uninstall (/S) keeps them unless this is given
Unicode true
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"

!ifndef VERSION
  !error "VERSION is not defined (scripts/package defines it)"
!endif
!ifndef STAGE_DIR
  !error "STAGE_DIR is not defined (scripts/package defines it)"
!endif
!ifndef OUT_FILE
  !error "OUT_FILE is not defined (scripts/package defines it)"
!endif

!define PRODUCT "Orvex"
!define VENDOR "Lumenkey Works"
!define WINDOW_CLASS "ORVEX"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvex"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define VENDOR_KEY "SOFTWARE\Lumenkey Works"
!define SETTINGS_KEY "SOFTWARE\Lumenkey Works\Orvex"
!define SYNCHRONIZE 0x00100000

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIFileVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${VENDOR}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${VENDOR}"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one used when the system's matches neither.
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString SectionAutostart ${LANG_JAPANESE} "ログオン時に Orvex を起動する"
LangString SectionAutostart ${LANG_ENGLISH} "Start Orvex at logon"
LangString AskCloseOrvex ${LANG_JAPANESE} "Orvex が実行中です。OK を押すと Orvex を終了して続けます。"
LangString AskCloseOrvex ${LANG_ENGLISH} "Orvex is running. Press OK to close it and continue."
LangString OrvexStillRunning ${LANG_JAPANESE} "Orvex を終了できませんでした。Orvex を終了してからやり直してください。"
LangString OrvexStillRunning ${LANG_ENGLISH} "Orvex could not be closed. Close it and try again."
LangString AskDeleteSettings ${LANG_JAPANESE} "Orvex の設定 (HKEY_CURRENT_USER\${SETTINGS_KEY}) も削除しますか?"
LangString AskDeleteSettings ${LANG_ENGLISH} "Also delete your Orvex settings (HKEY_CURRENT_USER\${SETTINGS_KEY})?"

Var DeleteSettings

; Files in use cannot be replaced or deleted: ask a running Orvex to close (WM_CLOSE ends
; it without touching the game) and wait up to five seconds for its process to end; its
; window goes before the process lets go of the files.
!macro DEFINE_CLOSE_ORVEX prefix
Function ${prefix}CloseOrvex
  FindWindow $0 "${WINDOW_CLASS}"
  ${If} $0 = 0
    Return
  ${EndIf}
  MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "$(AskCloseOrvex)" /SD IDOK IDOK close
  Quit
close:
  System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
  System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2'
  SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
  ${If} $2 <> 0
    System::Call 'kernel32::WaitForSingleObject(p r2, i 5000) i .r3'
    System::Call 'kernel32::CloseHandle(p r2)'
    ${If} $3 = 0
      Return
    ${EndIf}
  ${Else}
    StrCpy $1 0
    ${Do}
      FindWindow $0 "${WINDOW_CLASS}"
      ${If} $0 = 0
        Sleep 500
        Return
      ${EndIf}
      Sleep 100
      IntOp $1 $1 + 1
    ${LoopUntil} $1 >= 50
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "$(OrvexStillRunning)" /SD IDOK
  Quit
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_ORVEX ""
!insertmacro DEFINE_CLOSE_ORVEX "un."

Section "Orvex" SectionProgram
  SectionIn RO
  SetShellVarContext all
  Call CloseOrvex
  SetOutPath "$INSTDIR"
  File "${STAGE_DIR}/Orvex.exe"
  File "${STAGE_DIR}/Orvex_DLL.dll"
  File "${STAGE_DIR}/README.txt"
  File "${STAGE_DIR}/layout.schema.json"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Orvex.exe" "" "$INSTDIR\Orvex.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Orvex.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Start at logon: a Run entry of the user who installs.
Section /o "$(SectionAutostart)" SectionAutostart
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\Orvex.exe"'
SectionEnd

; Installing again without the option takes an earlier Run entry away.
Section "-RunEntry"
  ${IfNot} ${SectionIsSelected} ${SectionAutostart}
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
SectionEnd

Function .onInit
  ; Keep the choice of an earlier install, and take /AUTOSTART from the command line.
  ClearErrors
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionAutostart}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionAutostart}
  ${EndIf}
FunctionEnd

Function un.onInit
  StrCpy $DeleteSettings 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DELSETTINGS" $1
  ${IfNot} ${Errors}
    StrCpy $DeleteSettings 1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.CloseOrvex
  Delete "$INSTDIR\Orvex.exe"
  Delete "$INSTDIR\Orvex_DLL.dll"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\layout.schema.json"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; The settings belong to the user: ask, and keep them when nobody can answer.
  ${If} $DeleteSettings = 0
    MessageBox MB_YESNO|MB_ICONQUESTION "$(AskDeleteSettings)" /SD IDNO IDNO +2
    StrCpy $DeleteSettings 1
  ${EndIf}
  ${If} $DeleteSettings = 1
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "${VENDOR_KEY}"
  ${EndIf}
SectionEnd
