; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer of the NX-4400C editor, made by
; scripts/build-windows.sh: makensis -DVERSION=x.y.z -DSTAGE=<folder> -DOUTFILE=<setup.exe>
; STAGE holds the programs with their Qt and compiler DLLs, the Qt plug-ins,
; the state files (States\) and the manual (help\manual\). The county
; boundaries are built into the programs.

; A 64-bit installer for the 64-bit programs (it also runs where only a
; 64-bit Windows layer is, as under wine64).
Target amd64-unicode
!include "MUI2.nsh"

!ifndef VERSION
  !error "VERSION is not set"
!endif
!ifndef STAGE
  !error "STAGE is not set"
!endif
!ifndef OUTFILE
  !define OUTFILE "nx4400c-${VERSION}-setup.exe"
!endif

!define PRODUCT "NX-4400C Editor"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\NX-4400C Editor"
; The file type of receiver profiles, for every user (HKLM\Software\Classes).
!define PROFILEEXT ".nxprofile"
!define PROFILETYPE "NX4400C.Profile"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\NX-4400C Editor"
InstallDirRegKey HKLM "${UNINSTKEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
; What to install besides the editor: the Alert Monitor's Start-menu entry
; and the .nxprofile association, each a choice the user sees.
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\nx4400c.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "Norvale"
VIAddVersionKey "FileDescription" "${PRODUCT} installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "GPL-3.0-or-later"

Section "Editor" SecEditor
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The Start menu, for every user.
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\NX-4400C Editor"
  CreateShortcut "$SMPROGRAMS\NX-4400C Editor\NX-4400C Editor.lnk" "$INSTDIR\nx4400c.exe"
  CreateShortcut "$SMPROGRAMS\NX-4400C Editor\Uninstall.lnk" "$INSTDIR\uninstall.exe"

  ; Programs and Features.
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "Norvale"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\nx4400c.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
SectionEnd

Section "Alert Monitor in the Start menu" SecMonitor
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\NX-4400C Editor\Alert Monitor.lnk" "$INSTDIR\nx4400c.exe" "--monitor" \
    "$INSTDIR\nx4400c.exe" 0 SW_SHOWNORMAL "" "Listens for SAME alerts on a sound card"
SectionEnd

; Asked on the components page (ticked), and again when another program
; already owns the file type, so that nothing is taken over unasked: a
; silent install (/S) leaves another program's association alone.
Section "Open .nxprofile files with the editor" SecAssociate
  ReadRegStr $0 HKLM "Software\Classes\${PROFILEEXT}" ""
  StrCmp $0 "" associate
  StrCmp $0 "${PROFILETYPE}" associate
  MessageBox MB_YESNO|MB_ICONQUESTION "Receiver profiles (.nxprofile) open with another program ($0).$\r$\n$\r$\nOpen them with the NX-4400C Editor instead?" /SD IDNO IDYES associate
  Goto done
  associate:
  WriteRegStr HKLM "Software\Classes\${PROFILEEXT}" "" "${PROFILETYPE}"
  WriteRegStr HKLM "Software\Classes\${PROFILETYPE}" "" "NX-4400C receiver profile"
  WriteRegStr HKLM "Software\Classes\${PROFILETYPE}\DefaultIcon" "" "$INSTDIR\nx4400c.exe,0"
  WriteRegStr HKLM "Software\Classes\${PROFILETYPE}\shell\open\command" "" '"$INSTDIR\nx4400c.exe" "%1"'
  ; Tells Explorer that file types changed (SHCNE_ASSOCCHANGED).
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  done:
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecEditor} "The editor, nx4400c-cli, the state files and the manual."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecMonitor} "A Start-menu entry that opens the Alert Monitor."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAssociate} "Double-clicking a receiver profile (.nxprofile) opens it in the editor."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Removes what the installer put there; the user's settings, profiles and
; alert logs stay.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\NX-4400C Editor\NX-4400C Editor.lnk"
  Delete "$SMPROGRAMS\NX-4400C Editor\Alert Monitor.lnk"
  Delete "$SMPROGRAMS\NX-4400C Editor\Uninstall.lnk"
  RMDir "$SMPROGRAMS\NX-4400C Editor"
  RMDir /r "$INSTDIR\States"
  RMDir /r "$INSTDIR\help"
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\imageformats"
  RMDir /r "$INSTDIR\printsupport"
  RMDir /r "$INSTDIR\tls"
  RMDir /r "$INSTDIR\multimedia"
  RMDir /r "$INSTDIR\sqldrivers"
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\nx4400c.exe"
  Delete "$INSTDIR\nx4400c-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTKEY}"
  ; The association, only where it is still this editor's.
  ReadRegStr $0 HKLM "Software\Classes\${PROFILEEXT}" ""
  StrCmp $0 "${PROFILETYPE}" 0 +2
  DeleteRegKey HKLM "Software\Classes\${PROFILEEXT}"
  DeleteRegKey HKLM "Software\Classes\${PROFILETYPE}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
