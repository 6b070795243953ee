; The setup program of Quorbel-4-Winamp: finds the player's folder and puts the plug-in, gbm.dll,
; the data folders, the table tools and the README in place, can make the plug-in the player's
; current visualisation, and registers an uninstaller in Add/Remove Programs.
;
; Built by cmake/make_installer.cmake with makensis 3.08, which defines:
;   STAGE    the release folder laid out as the player's folder (see cmake/make_release.cmake)
;   FILES    the generated list of the data files (macros QUORBEL_INSTALL_DATA and
;            QUORBEL_UNINSTALL_DATA)
;   OUTFILE  the setup program to write
;   ICON     the icon of the setup program and of the uninstaller (the plug-in's)
;   X64      (64-bit build only) an amd64 installer that uses the 64-bit registry view and
;            Program Files folder, where a 64-bit player is registered
;
; Command line: /S installs silently (exit code 0 when installed, 2 when refused or stopped),
; /D=FOLDER names the player's folder (last, unquoted). The uninstaller takes /S too.
;
; What goes where (the player's folder is $INSTDIR):
;   <VisDir or Plugins>\vis_quorbel.dll       the plug-in
;   gbm.dll                                   beside the player's program, where Windows finds it
;   maps\*.MAP, objs\*.obj, pics\*.gif        our data files
;   tabs\                                     empty; the plug-in writes its tables there
;   tools\spiralmaker.exe, hurricanemaker.exe, spaceflightmaker.exe
;   Quorbel-4-Winamp README.txt
;   quorbel-uninstall.exe, quorbel-uninstall.ini (the record of this folder's install: its
;                                             entry in Add/Remove Programs, where the plug-in went)
;   winamp.ini [Winamp] visplugin_name, visplugin_num   (when chosen; other lines stay), in the
;                                             folder paths.ini names, when the player has one
;   HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorbel-4-Winamp (the first
;   player's folder), ...\Quorbel-4-Winamp-2 and so on (each further one)
;
; Each player's folder is an install of its own, with its own entry in Add/Remove Programs and
; its own uninstaller, which removes only what setup put into that folder and only its entry.

!ifdef X64
Target amd64-unicode
!else
Target x86-unicode
!endif
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!define PRODUCT "Quorbel-4-Winamp"
!define VERSION "1.50"
!define PUBLISHER "Quorbel"
!define PLUGIN_NAME "Quorbel-4-MODPlug"
!define PLUGIN_FILE "vis_quorbel.dll"
!define PLAYER_EXE "winamp.exe"
!define PLAYER_INI "winamp.ini"
!define README "Quorbel-4-Winamp README.txt"
!define UNINSTALLER "quorbel-uninstall.exe"
; The entries in Add/Remove Programs are keys under UNINST_ROOT named PRODUCT (an older setup
; program wrote only this one) or PRODUCT-N; each has the player's folder as InstallLocation.
!define UNINST_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define RECORD "quorbel-uninstall.ini"
!define PATHS_INI "paths.ini"
!define SETTINGS_KEY "SOFTWARE\Quorbel\Quorbel-4-Winamp"

!ifdef X64
!define DISPLAY_NAME "${PRODUCT} ${VERSION} (64-bit)"
!else
!define DISPLAY_NAME "${PRODUCT} ${VERSION}"
!endif

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "${FILES}"

Name "${PRODUCT} ${VERSION}"
Caption "${DISPLAY_NAME} Setup"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
; A file that cannot be written stops the installation (Retry or Cancel, no Ignore): never a
; half-installed plug-in.
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "1.50.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Free to use and to pass on unchanged."

Var PluginDir   ; where the plug-in goes: the player's VisDir, else Plugins
Var PlayerIni   ; the winamp.ini the player reads: in its folder, or where paths.ini says
Var UninstKey   ; this folder's entry: its key's name under UNINST_ROOT

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "This installs the visualisation plug-in ${PLUGIN_NAME} (${PRODUCT} ${VERSION}) into your player's folder: the plug-in, its picture library gbm.dll, palettes, letters, pictures and three tools that make translation tables.$\r$\n$\r$\nPlease close the player before you go on.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup installs ${PLUGIN_NAME} into the folder of your player's program (the folder that holds ${PLAYER_EXE}). Setup has chosen the folder below; to install into another player's folder, click Browse and choose it."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Player's folder"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PLUGIN_NAME} is installed in $INSTDIR.$\r$\n$\r$\nStart the player and its visualisation. The first start writes five translation tables into the tabs folder (a few seconds, once)."
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${README}"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the README"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "${PRODUCT} ${VERSION} will be removed from this player's folder. Your translation tables, screen shots, the palettes and pictures you added and the plug-in's settings stay; the player is not changed."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUCT} has been removed"
!define MUI_FINISHPAGE_TEXT "The plug-in, gbm.dll, the tools, the palettes, letters and pictures that setup installed and the README have been removed from $INSTDIR.$\r$\n$\r$\nKept, because they are yours: the translation tables in the tabs folder (those the plug-in generated and those you made with the tools), your screen shots (shot_*.gif), palettes and pictures you added, and the plug-in's settings in the registry (HKEY_LOCAL_MACHINE\${SETTINGS_KEY}, or the same key under HKEY_CURRENT_USER). Delete them by hand if you want them gone.$\r$\n$\r$\nThe player itself was not changed: choose another visualisation plug-in in its preferences."
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; ---------------------------------------------------------------------------------------------
; Helpers shared by the installer and the uninstaller

; The folder of a path held in $0, without quotes or arguments: "C:\x\y.exe" /S -> C:\x.
!macro FOLDER_OF_COMMAND un
Function ${un}FolderOfCommand
    Push $1
    Push $2
    StrCpy $1 $0 1
    ${If} $1 == '"'
        StrCpy $0 $0 "" 1
        StrCpy $2 0
        ${Do}
            StrCpy $1 $0 1 $2
            ${If} $1 == '"'
            ${OrIf} $1 == ""
                ${ExitDo}
            ${EndIf}
            IntOp $2 $2 + 1
        ${Loop}
        StrCpy $0 $0 $2
    ${EndIf}
    ${GetParent} $0 $0
    Pop $2
    Pop $1
FunctionEnd
!macroend

; Sets $PluginDir: the player's VisDir (section [Winamp] of the INI it reads, $PlayerIni) when
; set and present, else Plugins in the player's folder.
!macro FIND_PLUGIN_DIR un
Function ${un}FindPluginDir
    Push $0
    StrCpy $PluginDir "$INSTDIR\Plugins"
    ClearErrors
    ReadINIStr $0 $PlayerIni "Winamp" "VisDir"
    ${IfNot} ${Errors}
    ${AndIf} $0 != ""
        ${If} ${FileExists} "$0\*.*"
            StrCpy $PluginDir $0
        ${EndIf}
    ${EndIf}
    Pop $0
FunctionEnd
!macroend

; The folder a paths.ini names, on the stack, worked out in place; "" when it cannot be. "{N}"
; stands for the special folder of CSIDL N (26 the user's roaming Application Data, 28 the
; local one, 35 the one of all users), "%NAME%" for an environment variable, and a relative
; folder is taken in the player's folder. No trailing backslash.
!macro EXPAND_FOLDER un
Function ${un}ExpandFolder
    Exch $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    ; Each {N} in turn, from the left.
    StrCpy $1 0
    ${Do}
        StrCpy $2 $0 1 $1
        ${If} $2 == ""
            ${ExitDo}
        ${ElseIf} $2 != "{"
            IntOp $1 $1 + 1
            ${Continue}
        ${EndIf}
        ; The text up to "}": $4, which ends at $3.
        IntOp $3 $1 + 1
        StrCpy $4 ""
        ${Do}
            StrCpy $2 $0 1 $3
            ${If} $2 == "}"
            ${OrIf} $2 == ""
                ${ExitDo}
            ${EndIf}
            StrCpy $4 "$4$2"
            IntOp $3 $3 + 1
        ${Loop}
        StrCpy $5 ""
        IntOp $6 $4 + 0
        ; Only a number as it stands ("26", not "x" or "0x1a").
        ${If} $2 == "}"
        ${AndIf} $4 != ""
        ${AndIf} $6 == $4
            System::Call 'shell32::SHGetSpecialFolderPathW(p 0, t .r5, i r6, i 0) i .r2'
            ${If} $2 == 0
                StrCpy $5 ""
            ${EndIf}
        ${EndIf}
        ${If} $5 == ""
            StrCpy $0 ""
            ${ExitDo}
        ${EndIf}
        StrCpy $2 $0 $1
        IntOp $3 $3 + 1
        StrCpy $4 $0 "" $3
        StrCpy $0 "$2$5$4"
        StrLen $2 $5
        IntOp $1 $1 + $2
    ${Loop}
    ${If} $0 != ""
        ExpandEnvStrings $0 $0
        StrCpy $2 $0 1 1
        StrCpy $3 $0 1
        StrCpy $4 $0 2
        ${If} $3 == "\"
        ${AndIf} $4 != "\\"
            ; From the root of the player's drive.
            StrCpy $4 $INSTDIR 2
            StrCpy $0 "$4$0"
        ${ElseIf} $2 != ":"
        ${AndIf} $3 != "\"
            StrCpy $0 "$INSTDIR\$0"
        ${EndIf}
        ; ".", ".." and doubled backslashes resolved. (The instruction GetFullPathName gives ""
        ; for a folder that is not there yet; the call does not look.)
        System::Call 'kernel32::GetFullPathNameW(t r0, i ${NSIS_MAX_STRLEN}, t .r3, p 0) i .r2'
        ${If} $2 > 0
        ${AndIf} $2 < ${NSIS_MAX_STRLEN}
            StrCpy $0 $3
        ${EndIf}
        StrCpy $2 $0 1 -1
        ${If} $2 == "\"
            StrCpy $0 $0 -1
        ${EndIf}
    ${EndIf}
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Exch $0
FunctionEnd
!macroend

; Sets $PlayerIni: the winamp.ini the player reads. A player installed for each user keeps it
; apart from its program: paths.ini in the player's folder names the folder ([Winamp]
; inidir=, often {26}\Winamp). Without paths.ini, or with a folder that cannot be worked out,
; it is the one in the player's folder.
!macro FIND_PLAYER_INI un
Function ${un}FindPlayerIni
    Push $0
    StrCpy $PlayerIni "$INSTDIR\${PLAYER_INI}"
    ClearErrors
    ReadINIStr $0 "$INSTDIR\${PATHS_INI}" "Winamp" "inidir"
    ${IfNot} ${Errors}
    ${AndIf} $0 != ""
        Push $0
        Call ${un}ExpandFolder
        Pop $0
        ${If} $0 != ""
            StrCpy $PlayerIni "$0\${PLAYER_INI}"
        ${Else}
            DetailPrint "Cannot work out the folder that ${PATHS_INI} names; using $PlayerIni."
        ${EndIf}
    ${EndIf}
    Pop $0
FunctionEnd
!macroend

; Whether two folders (on the stack: the first pushed, then the second) are the same: "1" or
; "0". Letter case and a trailing backslash do not count, nor short against long names.
!macro SAME_FOLDER un
Function ${un}SameFolder
    Exch $1
    Exch
    Exch $0
    Push $2
    Push $3
    StrCpy $2 $0 1 -1
    ${If} $2 == "\"
        StrCpy $0 $0 -1
    ${EndIf}
    StrCpy $2 $1 1 -1
    ${If} $2 == "\"
        StrCpy $1 $1 -1
    ${EndIf}
    StrCpy $2 0
    ${If} $0 == ""
    ${OrIf} $1 == ""
        StrCpy $2 0
    ${ElseIf} $0 == $1
        StrCpy $2 1
    ${Else}
        ; Both exist and their short names agree.
        GetFullPathName /SHORT $3 $0
        GetFullPathName /SHORT $1 $1
        ${If} $3 != ""
        ${AndIf} $3 == $1
            StrCpy $2 1
        ${EndIf}
    ${EndIf}
    StrCpy $0 $2
    Pop $3
    Pop $2
    Exch $0
    Exch
    Pop $1
FunctionEnd
!macroend

; Sets $UninstKey to this folder's entry in Add/Remove Programs: one of ours (PRODUCT or
; PRODUCT-N) whose InstallLocation is $INSTDIR; "" when it has none.
!macro FIND_OWN_ENTRY un
Function ${un}FindOwnEntry
    Push $0
    Push $1
    Push $2
    Push $3
    StrCpy $UninstKey ""
    StrLen $3 "${PRODUCT}-"
    StrCpy $0 0
    ${Do}
        ClearErrors
        EnumRegKey $1 HKLM "${UNINST_ROOT}" $0
        ${If} ${Errors}
        ${OrIf} $1 == ""
            ${ExitDo}
        ${EndIf}
        IntOp $0 $0 + 1
        StrCpy $2 $1 $3
        ${If} $1 != "${PRODUCT}"
        ${AndIf} $2 != "${PRODUCT}-"
            ${Continue}
        ${EndIf}
        ReadRegStr $2 HKLM "${UNINST_ROOT}\$1" "InstallLocation"
        Push $2
        Push $INSTDIR
        Call ${un}SameFolder
        Pop $2
        ${If} $2 == 1
            StrCpy $UninstKey $1
            ${ExitDo}
        ${EndIf}
    ${Loop}
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend

; Stops (after Retry or Cancel) while the plug-in or gbm.dll cannot be written: a running
; player holds them open, and a file that cannot be replaced would leave a half-installed
; plug-in. Nothing has been written when this aborts.
!macro CHECK_NOT_IN_USE un
Function ${un}CheckFileNotInUse
    Exch $1
    Push $0
    retry:
    ${If} ${FileExists} $1
        ClearErrors
        FileOpen $0 $1 a
        ${If} ${Errors}
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$1 is in use and cannot be replaced or removed.$\r$\n$\r$\nClose the player (and any other program that uses the plug-in), then click Retry. Cancel stops without changing anything." /SD IDCANCEL IDRETRY retry
            DetailPrint "Stopped: $1 is in use."
            SetErrorLevel 2
            Abort "$1 is in use; nothing was changed."
        ${EndIf}
        FileClose $0
    ${EndIf}
    Pop $0
    Pop $1
FunctionEnd

Function ${un}CheckNotInUse
    Push "$PluginDir\${PLUGIN_FILE}"
    Call ${un}CheckFileNotInUse
    Push "$INSTDIR\gbm.dll"
    Call ${un}CheckFileNotInUse
FunctionEnd
!macroend

!insertmacro FOLDER_OF_COMMAND ""
!insertmacro EXPAND_FOLDER ""
!insertmacro EXPAND_FOLDER "un."
!insertmacro FIND_PLAYER_INI ""
!insertmacro FIND_PLAYER_INI "un."
!insertmacro SAME_FOLDER ""
!insertmacro SAME_FOLDER "un."
!insertmacro FIND_OWN_ENTRY ""
!insertmacro FIND_OWN_ENTRY "un."
!insertmacro FIND_PLUGIN_DIR ""
!insertmacro FIND_PLUGIN_DIR "un."
!insertmacro CHECK_NOT_IN_USE ""
!insertmacro CHECK_NOT_IN_USE "un."

!macro SET_VIEW
!ifdef X64
    SetRegView 64
!endif
!macroend

; ---------------------------------------------------------------------------------------------
; Installer

; Sets $INSTDIR to the player's folder: the folder named by the player's own key (HKCU, then
; HKLM "Software\Winamp"), then the folder of its uninstaller, each only when it holds the
; player's program; else the default under Program Files.
Function FindPlayer
    Push $0
    ReadRegStr $0 HKCU "Software\Winamp" ""
    ${If} $0 == ""
    ${OrIfNot} ${FileExists} "$0\${PLAYER_EXE}"
        ReadRegStr $0 HKLM "Software\Winamp" ""
    ${EndIf}
    ${If} $0 == ""
    ${OrIfNot} ${FileExists} "$0\${PLAYER_EXE}"
        ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" \
                   "UninstallString"
        ${If} $0 != ""
            Call FolderOfCommand
        ${EndIf}
    ${EndIf}
    ${If} $0 == ""
    ${OrIfNot} ${FileExists} "$0\${PLAYER_EXE}"
!ifdef X64
        StrCpy $0 "$PROGRAMFILES64\Winamp"
!else
        StrCpy $0 "$PROGRAMFILES\Winamp"
!endif
    ${EndIf}
    StrCpy $INSTDIR $0
    Pop $0
FunctionEnd

Function .onInit
    !insertmacro SET_VIEW
    ; /D= sets $INSTDIR before this runs: it wins over the search.
    ${If} $INSTDIR == ""
        Call FindPlayer
    ${EndIf}
    ; Silently, a folder without the player is refused: nothing is written.
    ${If} ${Silent}
    ${AndIfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
        SetErrorLevel 2
        Abort
    ${EndIf}
FunctionEnd

; Sets $UninstKey to the first name of ours that no entry has: PRODUCT, then PRODUCT-2 and on.
Function FreeEntryName
    Push $0
    Push $1
    StrCpy $UninstKey "${PRODUCT}"
    StrCpy $0 1
    ${Do}
        ; A key that cannot be opened is not there.
        ClearErrors
        EnumRegValue $1 HKLM "${UNINST_ROOT}\$UninstKey" 0
        ${If} ${Errors}
            ${ExitDo}
        ${EndIf}
        IntOp $0 $0 + 1
        StrCpy $UninstKey "${PRODUCT}-$0"
    ${Loop}
    Pop $1
    Pop $0
FunctionEnd

Function DirectoryLeave
    ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
        MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "There is no ${PLAYER_EXE} in$\r$\n$INSTDIR.$\r$\n$\r$\nThe plug-in works only when it is installed into the folder of the player's program. Install into this folder anyway?" /SD IDNO IDYES +2
        Abort
    ${EndIf}
FunctionEnd

Section "-${PRODUCT}" SecFiles
    Call FindPlayerIni
    Call FindPluginDir
    Call CheckNotInUse
    ; An install over an earlier one into this folder keeps its entry (that of an older setup
    ; program too); a new folder gets an entry of its own beside those of the other folders.
    Call FindOwnEntry
    ${If} $UninstKey == ""
        Call FreeEntryName
    ${EndIf}

    SetOutPath $PluginDir
    File "${STAGE}/Plugins/${PLUGIN_FILE}"
    SetOutPath $INSTDIR
    File "${STAGE}/gbm.dll"
    File "/oname=${README}" "${STAGE}/README.txt"
    !insertmacro QUORBEL_INSTALL_DATA
    SetOutPath "$INSTDIR\tools"
    File "${STAGE}/tools/spiralmaker.exe"
    File "${STAGE}/tools/hurricanemaker.exe"
    File "${STAGE}/tools/spaceflightmaker.exe"
    CreateDirectory "$INSTDIR\tabs"
    SetOutPath $INSTDIR

    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    ; The record of this folder's install, for its uninstaller: where the plug-in went (the
    ; player's VisDir may change meanwhile) and its entry. It stays right when the registry
    ; entry is gone.
    Delete "$INSTDIR\${RECORD}"
    WriteINIStr "$INSTDIR\${RECORD}" "${PRODUCT}" "Version" "${VERSION}"
    WriteINIStr "$INSTDIR\${RECORD}" "${PRODUCT}" "UninstallKey" "$UninstKey"
    WriteINIStr "$INSTDIR\${RECORD}" "${PRODUCT}" "PluginFile" "$PluginDir\${PLUGIN_FILE}"
    FlushINI "$INSTDIR\${RECORD}"

    StrCpy $1 "${UNINST_ROOT}\$UninstKey"
    ; The folder in the name tells apart the entries of two players' folders.
    WriteRegStr HKLM $1 "DisplayName" "${DISPLAY_NAME} in $INSTDIR"
    WriteRegStr HKLM $1 "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM $1 "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM $1 "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM $1 "DisplayIcon" "$INSTDIR\${UNINSTALLER}"
    WriteRegStr HKLM $1 "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM $1 "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegStr HKLM $1 "PluginFile" "$PluginDir\${PLUGIN_FILE}"
    WriteRegDWORD HKLM $1 "NoModify" 1
    WriteRegDWORD HKLM $1 "NoRepair" 1
    SectionGetSize ${SecFiles} $0
    WriteRegDWORD HKLM $1 "EstimatedSize" $0
SectionEnd

Section "Make it the player's visualisation" SecSelect
    ; In the INI the player reads; its folder may not be there before the player's first start.
    ${GetParent} $PlayerIni $0
    CreateDirectory $0
    ; The INI calls change these two lines and keep every other one.
    WriteINIStr $PlayerIni "Winamp" "visplugin_name" "${PLUGIN_FILE}"
    WriteINIStr $PlayerIni "Winamp" "visplugin_num" "0"
    FlushINI $PlayerIni
SectionEnd

; ---------------------------------------------------------------------------------------------
; Uninstaller: removes what setup installed into its own folder, by name, and that folder's
; entry; other players' folders and their entries stay. The user's tables, screen shots, added
; palettes and pictures, the settings and the player stay.

Function un.onInit
    !insertmacro SET_VIEW
FunctionEnd

Section "Uninstall"
    Call un.FindPlayerIni
    Call un.FindOwnEntry
    ; Where this folder's plug-in went: its record, else its entry, else where setup would put
    ; it now.
    ClearErrors
    ReadINIStr $PluginDir "$INSTDIR\${RECORD}" "${PRODUCT}" "PluginFile"
    ${If} $PluginDir == ""
    ${AndIf} $UninstKey != ""
        ReadRegStr $PluginDir HKLM "${UNINST_ROOT}\$UninstKey" "PluginFile"
    ${EndIf}
    ${If} $PluginDir == ""
        Call un.FindPluginDir
    ${Else}
        ${GetParent} $PluginDir $PluginDir
    ${EndIf}
    Call un.CheckNotInUse

    Delete "$PluginDir\${PLUGIN_FILE}"
    Delete "$INSTDIR\gbm.dll"
    Delete "$INSTDIR\${README}"
    !insertmacro QUORBEL_UNINSTALL_DATA
    Delete "$INSTDIR\tools\spiralmaker.exe"
    Delete "$INSTDIR\tools\hurricanemaker.exe"
    Delete "$INSTDIR\tools\spaceflightmaker.exe"
    ; Folders go only when empty: what the user keeps there stays.
    RMDir "$INSTDIR\tools"
    RMDir "$INSTDIR\tabs"
    Delete "$INSTDIR\${RECORD}"
    Delete "$INSTDIR\${UNINSTALLER}"
    ; This folder's entry: every one of ours whose InstallLocation is this folder.
    ${Do}
        ${If} $UninstKey == ""
            ${ExitDo}
        ${EndIf}
        ClearErrors
        DeleteRegKey HKLM "${UNINST_ROOT}\$UninstKey"
        ${If} ${Errors}
            DetailPrint "Could not remove the entry ${UNINST_ROOT}\$UninstKey."
            ${ExitDo}
        ${EndIf}
        Call un.FindOwnEntry
    ${Loop}
    DetailPrint "Kept: the tables in tabs, screen shots, palettes and pictures you added, and the settings (HKLM\${SETTINGS_KEY})."
SectionEnd
