; The Windows installer of Dravellin Recorder (NSIS, 64-bit Unicode stub): scripts/build-windows
; runs makensis with VERSION, STAGE (the folder with the program's files) and OUTFILE defined.
;
; Installed for the user who runs it, under %LOCALAPPDATA%\Programs, so it needs no
; administrator rights; the Start-menu shortcut (and, in the program's folder there, "Начать
; запись" and "Остановить запись"), the entry in "Apps & features" and the
; autostart value are that user's too. Running it again installs over the old files. /S
; installs and uninstalls silently. The uninstaller removes the program's files, its shortcut,
; its uninstall entry and the autostart value "Palimbor" (the program it starts is gone); it
; keeps the recordings and the settings under HKCU\Software\Dravellin Software.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "Dravellin Recorder"
!define PUBLISHER "Dravellin Software"
!define EXE "dravellin-recorder.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\DravellinRecorder"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
Icon "${STAGE}\dravellin-recorder.ico"
UninstallIcon "${STAGE}\dravellin-recorder.ico"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PUBLISHER}"
VIProductVersion "${VERSION_NUMBERS}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE}\${EXE}"
  File "${STAGE}\lame_enc.dll"
  File "${STAGE}\dravellin-recorder.ico"
  File "${STAGE}\COPYRIGHT.txt"
  File "${STAGE}\THIRD-PARTY.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
  ; The launcher's two actions, as the desktop entry has them on Linux: commands to the
  ; running program (which --record starts first when none runs).
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Начать запись.lnk" "$INSTDIR\${EXE}" "--record" "$INSTDIR\${EXE}" 0
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Остановить запись.lnk" "$INSTDIR\${EXE}" "--stop" "$INSTDIR\${EXE}" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size in KiB, as "Apps & features" shows it.
  SectionGetSize 0 $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\lame_enc.dll"
  Delete "$INSTDIR\dravellin-recorder.ico"
  Delete "$INSTDIR\COPYRIGHT.txt"
  Delete "$INSTDIR\THIRD-PARTY.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only if empty: recordings the user saved here stay.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Начать запись.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Остановить запись.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegValue HKCU "${RUN_KEY}" "Palimbor"
SectionEnd
