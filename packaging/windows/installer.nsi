; SPDX-License-Identifier: MIT
; The Windows installer: for all users (administrator, Program Files) or just
; for the one who runs it (no administrator, %LOCALAPPDATA%\Programs), chosen
; on a page or by /AllUsers or /CurrentUser. cmake/WindowsInstaller.cmake
; builds it from cpack's staged install tree, with these defined:
;   VERSION, STAGE (the staged tree), OUTFILE, LICENSE, ICON,
;   UNINSTALL_LIST (an include file that deletes what STAGE holds)
Unicode true
SetCompressor /SOLID lzma

!define APP_NAME "Zelvor Calibration Console"
!define PUBLISHER "Zelvor Electronics Pvt. Ltd."
; One key for every version, so that a new version finds the one before it.
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\zelvor-console"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${APP_NAME}"
; A new install offers the mode of the one before it.
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
; The mode sets the default folder; a folder given with /D wins over it.
!define MULTIUSER_INSTALLMODE_FUNCTION KeepCommandLineFolder
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

Name "${APP_NAME}"
OutFile "${OUTFILE}"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var CommandLineFolder

Function KeepCommandLineFolder
    ${If} $CommandLineFolder != ""
        StrCpy $INSTDIR $CommandLineFolder
    ${EndIf}
FunctionEnd

Function .onInit
    ; A 32-bit installer of a 64-bit program: the uninstall entry belongs in
    ; the registry's 64-bit view.
    SetRegView 64
    StrCpy $CommandLineFolder $INSTDIR
    !insertmacro MULTIUSER_INIT
FunctionEnd

; An earlier install in this mode: its uninstaller runs in place, and what it
; leaves of itself goes after it.
Function UninstallEarlier
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\Uninstall.exe"
        DetailPrint "Removing the version installed in $0"
        ExecWait '"$0\Uninstall.exe" /S _?=$0'
        Delete "$0\Uninstall.exe"
        RMDir "$0"
    ${EndIf}
FunctionEnd

; The installer before this one installed for all users only, and wrote its
; entry in the 32-bit view under a key with the version in its name.
Function UninstallFirstInstaller
    SetRegView 32
    StrCpy $1 0
    ${Do}
        EnumRegKey $2 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall" $1
        ${If} $2 == ""
            ${Break}
        ${EndIf}
        IntOp $1 $1 + 1
        StrCpy $3 $2 15
        ${If} $3 == "zelvor-console "
            ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\$2" "UninstallString"
            ; "C:\...\Uninstall.exe", quoted
            StrCpy $0 $0 -15 1
            ${If} ${FileExists} "$0\Uninstall.exe"
                DetailPrint "Removing the version installed in $0"
                ExecWait '"$0\Uninstall.exe" /S _?=$0'
                Delete "$0\Uninstall.exe"
                RMDir "$0"
            ${EndIf}
            ; The key is gone now, and the next one has moved up.
            IntOp $1 $1 - 1
            DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\$2"
        ${EndIf}
    ${Loop}
    SetRegView 64
FunctionEnd

Section
    Call UninstallEarlier
    ${If} $MultiUser.InstallMode == AllUsers
        Call UninstallFirstInstaller
    ${EndIf}

    SetOutPath "$INSTDIR"
    File /r "${STAGE}/*"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    SetOutPath "$INSTDIR\bin"
    CreateShortCut "$SMPROGRAMS\${APP_NAME}.lnk" "$INSTDIR\bin\zelvor-console.exe"

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\zelvor-console.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    SetRegView 64
    !insertmacro MULTIUSER_UNINIT
    ; An administrator may have both installs. The uninstaller undoes the one
    ; it stands in, whichever way it was started.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        Call un.MultiUser.InstallMode.CurrentUser
    ${ElseIf} $1 == $INSTDIR
        Call un.MultiUser.InstallMode.AllUsers
        ${If} $MultiUser.InstallMode != AllUsers
            MessageBox MB_OK|MB_ICONSTOP "${APP_NAME} was installed for all users: only an administrator can remove it." /SD IDOK
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    !include "${UNINSTALL_LIST}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${APP_NAME}.lnk"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
