; Tavelin's installer (makensis, run by the Windows build). Installs
; tavelin.exe and simblock.exe, a Start-menu entry and an uninstaller, and
; makes the shared configuration folder that every user of the machine may
; write to; the default Joystick.ini goes there only when none exists. It is
; listed in "Apps and features" (the Uninstall key: name, version, publisher,
; size, icon, the uninstaller and its silent form). Over an installed version
; (older, newer or the same) that version's own uninstaller first takes away
; what it installed, so nothing of it is left beside the new files; the
; configurations stay, as every uninstall leaves them.
; Defines from the build: VERSION, OUTFILE, TAVELIN_EXE, SIMBLOCK_EXE,
; JOYSTICK_INI, VIRTUAL_INI, VIRTUAL_SETUP_INI (the set-up for the demo's joysticks).

Unicode true
!include "FileFunc.nsh"
; The 64-bit stub: a 32-bit one cannot start under a 64-bit-only Wine.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Tavelin"
!define MAKER "Orrelane"
!define SHARED "C:\Program Files\Orrelane\Shared"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavelin"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${MAKER}\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${MAKER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${MAKER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Tavelin"
  SetShellVarContext all
  ; The installed version's uninstaller, run in place (_?=) so that it ends
  ; before the new files come; in place it cannot delete itself.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $0 "" no_installed_version
  IfFileExists "$0\Uninstall.exe" 0 no_installed_version
    DetailPrint "Removing the installed version from $0"
    ExecWait '"$0\Uninstall.exe" /S _?=$0'
    Delete "$0\Uninstall.exe"
    RMDir "$0"
  no_installed_version:

  SetOutPath "$INSTDIR"
  File "/oname=tavelin.exe" "${TAVELIN_EXE}"
  File "/oname=simblock.exe" "${SIMBLOCK_EXE}"
  File "/oname=virtual-joysticks.ini" "${VIRTUAL_INI}"
  File "/oname=Joystick-virtual.ini" "${VIRTUAL_SETUP_INI}"
  File "/oname=Joystick.ini.default" "${JOYSTICK_INI}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The program reads and saves its configurations here. A standard user
  ; could not save under Program Files without write access of its own.
  CreateDirectory "${SHARED}"
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "${SHARED}" /grant *S-1-5-32-545:(OI)(CI)M'
  Pop $0
  ; A configuration the user already has is never replaced.
  IfFileExists "${SHARED}\Joystick.ini" keep_configuration
    CopyFiles /SILENT "$INSTDIR\Joystick.ini.default" "${SHARED}\Joystick.ini"
  keep_configuration:

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\tavelin.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tavelin.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; "Apps and features" shows this, in KiB: what is in the program folder now.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Only what the installer put there goes: the configurations in the shared
; folder are the user's and stay, and a folder that holds anything else is
; left with it.
Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\tavelin.exe"
  Delete "$INSTDIR\simblock.exe"
  Delete "$INSTDIR\virtual-joysticks.ini"
  Delete "$INSTDIR\Joystick-virtual.ini"
  Delete "$INSTDIR\Joystick.ini.default"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
