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

; Windows keeps a running program's files from being replaced: writing over them one by one
; would leave the old chathoard.exe beside the new help, or fail half-way. So before anything
; is written, each installed file the program holds open is tried for writing; while one
; cannot be, the user is asked to close Chathoard (Retry) or to stop (Cancel). A silent
; install stops at once with exit code 2, with nothing changed.
!macro REFUSE_WHILE_IN_USE FILE
    IfFileExists "$INSTDIR\${FILE}" 0 +5
    ClearErrors
    FileOpen $0 "$INSTDIR\${FILE}" a
    IfErrors in_use
    FileClose $0
!macroend

Function RefuseWhileRunning
retry:
    !insertmacro REFUSE_WHILE_IN_USE chathoard.exe
    !insertmacro REFUSE_WHILE_IN_USE chathoard.com
    !insertmacro REFUSE_WHILE_IN_USE azip32.dll
    Return
in_use:
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Chathoard is running: $INSTDIR\chathoard.exe cannot be replaced while it is in use.$\r$\n$\r$\nClose Chathoard (and wait for a scheduled backup to finish), then press Retry. Cancel stops the installation; nothing has been changed." \
        /SD IDCANCEL IDRETRY retry
    DetailPrint "Chathoard is running; nothing was changed."
    SetErrorLevel 2
    Abort "Chathoard is running; nothing was changed."
FunctionEnd

Section "Chathoard"
    Call RefuseWhileRunning
    SetOutPath "$INSTDIR"
    File "${STAGE}/chathoard.exe"
    ; The console companion for the Command Prompt: waits for chathoard.exe and returns its code.
    File "${STAGE}/chathoard.com"
    File "${STAGE}/azip32.dll"
    File "${STAGE}/chathoard.chm"
    File "${STAGE}/README.txt"
    File "${STAGE}/LICENSE"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The staging drive is the Windows drive, so that the installed program starts without
    ; the first start's "No defaultdrive.ini file found". A drive the user has set is kept.
    IfFileExists "$INSTDIR\defaultdrive.ini" drive_set
    StrCpy $0 $WINDIR 1
    FileOpen $1 "$INSTDIR\defaultdrive.ini" w
    FileWrite $1 "$0$\r$\n"
    FileClose $1
drive_set:

    ; The shortcut starts in the user's own folder (the output path at its creation): the
    ; folder lists open there, not in the hidden program folder. The program finds its
    ; settings beside itself either way.
    SetOutPath "$PROFILE"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\chathoard.exe" "" "$INSTDIR\chathoard.exe" 0 \
        SW_SHOWNORMAL "" "Back up the ICQ database"
    SetOutPath "$INSTDIR"

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
    Delete "$INSTDIR\chathoard.com"
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
