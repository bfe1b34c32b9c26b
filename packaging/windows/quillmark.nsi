; Quillmark-Setup.exe: the Windows programs and the shell extension in
; Program Files\Quillmark, registered for the machine, with Start-menu
; entries, an Add/Remove Programs entry and an uninstaller. Built by CMake
; (packaging/windows/CMakeLists.txt), which defines
;   QUILLMARK_VERSION   the project's version, x.y.z
;   QUILLMARK_BIN       the folder of the built programs
;   QUILLMARK_ICON      the programs' icon
;   QUILLMARK_SETUP     the installer to write
;   QUILLMARK_EXPLORER  only when the explorer is built
; Vaults and each user's settings (HKCU db_path, DataDir, TempDir) are never
; touched: `quillmark init` makes them, per user, and they outlive Quillmark.

Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include WinMessages.nsh

!define QUILLMARK_KEY "SOFTWARE\Marrowgate Software Lab\Quillmark"
!define VENDOR_KEY "SOFTWARE\Marrowgate Software Lab"
!define UNINSTALL_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Quillmark"
!define MENU_FOLDER "$SMPROGRAMS\Quillmark"

Name "Quillmark"
OutFile "${QUILLMARK_SETUP}"
InstallDir "$PROGRAMFILES64\Quillmark"
BrandingText "Quillmark ${QUILLMARK_VERSION}"

!define MUI_ICON "${QUILLMARK_ICON}"
!define MUI_UNICON "${QUILLMARK_ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${QUILLMARK_VERSION}.0"
VIFileVersion "${QUILLMARK_VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Quillmark"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${QUILLMARK_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${QUILLMARK_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Quillmark Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "Marrowgate Software Lab"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Marrowgate Software Lab"

; The programs are 64-bit: their registry view, and shortcuts for every user.
Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

!ifdef QUILLMARK_EXPLORER
; A running explorer holds its program file, which could then be neither
; replaced nor removed: it is asked to close first, as its close box would.
!macro CLOSE_EXPLORER
  FindWindow $0 "" "Quillmark Explorer"
  ${If} $0 <> 0
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=10000
    Sleep 1000
  ${EndIf}
!macroend
!else
!macro CLOSE_EXPLORER
!macroend
!endif

Section "Quillmark" main_section
  !insertmacro CLOSE_EXPLORER
  SetOutPath "$INSTDIR"
  File "${QUILLMARK_BIN}/quillmark.exe"
  File "${QUILLMARK_BIN}/Quillmark_Checkin.exe"
  File "${QUILLMARK_BIN}/Quillmark_Property.exe"
  File "${QUILLMARK_BIN}/Quillmark_Export.exe"
  File "${QUILLMARK_BIN}/Tuv_FileExt.dll"
!ifdef QUILLMARK_EXPLORER
  File "${QUILLMARK_BIN}/Quillmark_Explorer.exe"
  ; Help opens it from beside the explorer.
  File "${QUILLMARK_BIN}/quillmark-help.html"
!endif

  ; The uninstaller and its entry first, so that an installation that fails
  ; below can still be removed.
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillmark"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${QUILLMARK_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Marrowgate Software Lab"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillmark_Checkin.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${main_section} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; What `quillmark init` writes for the machine: the check-in program that
  ; the shell extension starts.
  ClearErrors
  WriteRegStr HKLM "${QUILLMARK_KEY}" "QuillmarkPath" "$INSTDIR\Quillmark_Checkin.exe"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "Setup could not write QuillmarkPath under HKEY_LOCAL_MACHINE\${QUILLMARK_KEY}. Run Setup as an administrator." /SD IDOK
    Abort "QuillmarkPath could not be written."
  ${EndIf}

  CreateDirectory "${MENU_FOLDER}"
!ifdef QUILLMARK_EXPLORER
  CreateShortcut "${MENU_FOLDER}\Quillmark Explorer.lnk" "$INSTDIR\Quillmark_Explorer.exe"
!endif
  CreateShortcut "${MENU_FOLDER}\Uninstall Quillmark.lnk" "$INSTDIR\Uninstall.exe"

  ; As `regsvr32 Tuv_FileExt.dll` does: the server's DllRegisterServer.
  ClearErrors
  RegDLL "$INSTDIR\Tuv_FileExt.dll"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "Setup could not register the shell extension $INSTDIR\Tuv_FileExt.dll. Run Setup as an administrator." /SD IDOK
    Abort "The shell extension could not be registered."
  ${EndIf}
SectionEnd

Section "Uninstall"
  !insertmacro CLOSE_EXPLORER
  ClearErrors
  UnRegDLL "$INSTDIR\Tuv_FileExt.dll"
  ${If} ${Errors}
    DetailPrint "The shell extension could not be unregistered."
  ${EndIf}

  ; The shell may still hold the extension: then it goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\Tuv_FileExt.dll"
  Delete "$INSTDIR\quillmark.exe"
  Delete "$INSTDIR\Quillmark_Checkin.exe"
  Delete "$INSTDIR\Quillmark_Property.exe"
  Delete "$INSTDIR\Quillmark_Export.exe"
  Delete "${MENU_FOLDER}\Uninstall Quillmark.lnk"
!ifdef QUILLMARK_EXPLORER
  ; Still open (in a dialog, say): then it goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\Quillmark_Explorer.exe"
  Delete "$INSTDIR\quillmark-help.html"
  Delete "${MENU_FOLDER}\Quillmark Explorer.lnk"
!endif
  RMDir "${MENU_FOLDER}"

  ; QuillmarkPath only while it names this installation's program: another
  ; one registered since (`quillmark init` elsewhere) stays. The keys go
  ; only when nothing else is left in them.
  ReadRegStr $0 HKLM "${QUILLMARK_KEY}" "QuillmarkPath"
  ${If} $0 == "$INSTDIR\Quillmark_Checkin.exe"
    DeleteRegValue HKLM "${QUILLMARK_KEY}" "QuillmarkPath"
  ${EndIf}
  DeleteRegKey /ifempty HKLM "${QUILLMARK_KEY}"
  DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; Not /r: whatever else is in the folder (a vault, say) is the user's.
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
