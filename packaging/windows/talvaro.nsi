; The Windows installer, built on Linux with makensis by
; scripts/build-windows.sh:
;
;   makensis -DVERSION=4.1 -DSTAGE=<folder> -DOUTFILE=<installer.exe> talvaro.nsi
;
; STAGE is the unpacked zip's folder: talvaro.exe, talvaro-setup.exe,
; wave\*.wav and README.TXT. The programs and the clips go into
; Program Files\Talvaro; the working folder (TALVARO.CFG, the bank files, the
; debug log) is Documents\Talvaro, where both Start-menu entries start. The
; uninstaller removes the program and the entries and never the working
; folder or anything in it. /S installs or uninstalls without a question.

; A 64-bit installer, as the programs are: it needs no 32-bit layer of
; Windows (nor of wine), and its registry view is the 64-bit one.
Target amd64-unicode

!ifndef VERSION | STAGE | OUTFILE
  !error "give -DVERSION=, -DSTAGE= and -DOUTFILE="
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Talvaro"

Name "Talvaro ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Talvaro"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Talvaro"
  ; Start-menu entries and the working folder belong to the user who installs.
  SetShellVarContext current

  SetOutPath "$INSTDIR"
  File "${STAGE}\talvaro.exe"
  File "${STAGE}\talvaro-setup.exe"
  File "${STAGE}\README.TXT"
  SetOutPath "$INSTDIR\wave"
  File "${STAGE}\wave\*.wav"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The working folder is made once and never emptied; SetOutPath also makes
  ; it the shortcuts' "Start in" folder.
  SetOutPath "$DOCUMENTS\Talvaro"
  CreateDirectory "$SMPROGRAMS\Talvaro"
  CreateShortCut "$SMPROGRAMS\Talvaro\Talvaro.lnk" "$INSTDIR\talvaro.exe"
  CreateShortCut "$SMPROGRAMS\Talvaro\Talvaro setup.lnk" "$INSTDIR\talvaro-setup.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Talvaro ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\talvaro.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Only what the installer put there: the working folder stays untouched.
  Delete "$SMPROGRAMS\Talvaro\Talvaro.lnk"
  Delete "$SMPROGRAMS\Talvaro\Talvaro setup.lnk"
  RMDir "$SMPROGRAMS\Talvaro"
  Delete "$INSTDIR\wave\*.wav"
  RMDir "$INSTDIR\wave"
  Delete "$INSTDIR\talvaro.exe"
  Delete "$INSTDIR\talvaro-setup.exe"
  Delete "$INSTDIR\README.TXT"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
