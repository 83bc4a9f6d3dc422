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

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\NX-4400C Editor"
InstallDirRegKey HKLM "${UNINSTKEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
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

; Removes what the installer put there; the user's settings, profiles and
; alert logs stay.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\NX-4400C Editor\NX-4400C Editor.lnk"
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
  RMDir /r "$INSTDIR\licenses"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\nx4400c.exe"
  Delete "$INSTDIR\nx4400c-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTKEY}"
SectionEnd
