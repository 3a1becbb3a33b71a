; SPDX-License-Identifier: MIT
; The installer of ポンピラ for Windows, made by makensis (Debian's nsis) from the build:
;   makensis -DVERSION=1.2.0.2 -DEXE=ponpira.exe -DICON=ponpira.ico -DOUTFILE=setup.exe ponpira.nsi
; Per user by default: the program in the user's own programs folder, a shortcut in the user's
; Start menu and the uninstall entry under HKCU, no administrator needed. Run elevated (or
; with /AllUsers) it installs for everyone into Program Files; /CurrentUser keeps it per user
; even then. /S installs silently. Uninstalling removes everything it installed and leaves the
; player's settings (%APPDATA%\ponpira).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "ポンピラ"
!define PUBLISHER "The ポンピラ developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ponpira"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} のセットアップ"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Japanese.nlf"
; Empty here: .onInit chooses the folder unless /D= named one.
InstallDir ""

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} のセットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Copyright 2026 ${PUBLISHER} (MIT)"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
    ${GetParameters} $R0
    UserInfo::GetAccountType
    Pop $R1
    StrCpy $R2 "current"
    ${If} $R1 == "Admin"
        StrCpy $R2 "all"
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/AllUsers" $R3
    ${IfNot} ${Errors}
        StrCpy $R2 "all"
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/CurrentUser" $R3
    ${IfNot} ${Errors}
        StrCpy $R2 "current"
    ${EndIf}
    ${If} $R2 == "all"
        SetShellVarContext all
        ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
        ${EndIf}
    ${Else}
        SetShellVarContext current
        ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
        ${EndIf}
    ${EndIf}
FunctionEnd

Section "${PRODUCT}"
    SetOutPath "$INSTDIR"
    File "/oname=ponpira.exe" "${EXE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\ponpira.exe" "" "$INSTDIR\ponpira.exe" 0
    ; Apps & features (Programs and Features): name, version, publisher, size, how to remove.
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ponpira.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    ; Installed for everyone when the machine-wide entry names this folder.
    SetShellVarContext current
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R0 == $INSTDIR
        SetShellVarContext all
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Delete "$INSTDIR\ponpira.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
