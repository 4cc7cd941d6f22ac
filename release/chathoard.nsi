; Per-user installer of Chathoard, built by scripts/release.sh:
;   makensis -DVERSION=0.10 -DSTAGE=<folder with the files> -DOUTFILE=<setup.exe> chathoard.nsi
; Installs without administrator rights into %LOCALAPPDATA%\Programs\Chathoard, where the
; program can write defaultdrive.ini and icqtemp.dat beside itself. /S installs and
; uninstalls silently.

Unicode true
; -DTARGET=amd64-unicode makes the x86-64 installer used only to test this script where
; 32-bit programs cannot run; the release is the default 32-bit one.
!ifdef TARGET
    Target ${TARGET}
!endif
SetCompressor /SOLID lzma
; File times are not stored, so the same files always give the same installer.
SetDateSave off

!define PRODUCT "Tavrik's Chathoard"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Chathoard"
!define SHORTCUT "$SMPROGRAMS\Chathoard.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Chathoard"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ManifestDPIAware true
XPStyle on
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "Copyright (c) 2026 Chathoard developers, MIT license"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    SetShellVarContext current
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "Chathoard"
    SetOutPath "$INSTDIR"
    File "${STAGE}/chathoard.exe"
    File "${STAGE}/azip32.dll"
    File "${STAGE}/chathoard.chm"
    File "${STAGE}/README.txt"
    File "${STAGE}/LICENSE"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "${SHORTCUT}" "$INSTDIR\chathoard.exe" "" "$INSTDIR\chathoard.exe" 0 \
        SW_SHOWNORMAL "" "Back up the ICQ database"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Chathoard developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\chathoard.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" 1024
SectionEnd

; Removes what the installer put there and the files the program writes beside itself,
; one by one. The folder itself goes only when nothing else is left in it, so a backup
; saved into the program folder survives.
Section "Uninstall"
    Delete "$INSTDIR\chathoard.exe"
    Delete "$INSTDIR\azip32.dll"
    Delete "$INSTDIR\chathoard.chm"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE"
    Delete "$INSTDIR\defaultdrive.ini"
    Delete "$INSTDIR\chathoard.log"
    Delete "$INSTDIR\icqtemp.dat"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "${SHORTCUT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
