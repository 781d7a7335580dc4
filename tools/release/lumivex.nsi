; The per-user installer: no administrator, everything under the user's own folders and keys.
; make-release.sh defines the version, the names shared with the programs (from their one header)
; and where the staged files lie; built alone it stops at the first missing definition.
Unicode true
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "${LANGUAGE_FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUNONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
; The Run value has the program's name, as the options page writes it.
!define RUN_VALUE "${PRODUCT}"
!define CLEANUP_VALUE "${PRODUCT} cleanup"
!define UNINSTALLER "uninstall.exe"
; How long a running copy gets to end after "/u" (tenths of a second).
!define END_WAIT_STEPS 150

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

Var WasRunning

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${MAIN_PROGRAM}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString SecProgramName ${LANG_ENGLISH} "${PRODUCT} (program and Start-menu shortcut)"
LangString SecProgramName ${LANG_GERMAN} "${PRODUCT} (Programm und Startmenü-Verknüpfung)"
LangString SecLogonName ${LANG_ENGLISH} "Start at logon"
LangString SecLogonName ${LANG_GERMAN} "Bei der Anmeldung starten"
LangString SecSettingsName ${LANG_ENGLISH} "Remove my settings"
LangString SecSettingsName ${LANG_GERMAN} "Meine Einstellungen entfernen"
LangString MsgCannotReplace ${LANG_ENGLISH} "This file could not be replaced:$\r$\n$R0$\r$\nClose the programs that use it and try again."
LangString MsgCannotReplace ${LANG_GERMAN} "Diese Datei konnte nicht ersetzt werden:$\r$\n$R0$\r$\nSchließen Sie die Programme, die sie verwenden, und versuchen Sie es erneut."

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"

; --- Helpers for both the installer and the uninstaller ---------------------------------------

; True in $0 while a copy of the program or its hook server runs (their single-instance mutexes).
!macro DefineIsRunning UN
Function ${UN}IsRunning
    StrCpy $0 0
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${MAIN_MUTEX}") p .r1'
    ${If} $1 <> 0
        System::Call 'kernel32::CloseHandle(p r1)'
        StrCpy $0 1
    ${EndIf}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${SERVER_MUTEX}") p .r1'
    ${If} $1 <> 0
        System::Call 'kernel32::CloseHandle(p r1)'
        StrCpy $0 1
    ${EndIf}
FunctionEnd

; Waits until no copy runs any more, or the wait is over; the files of a copy that stays are set
; aside like a mapped library's.
Function ${UN}WaitForEnd
    Push $2
    StrCpy $2 0
    ${Do}
        Call ${UN}IsRunning
        ${If} $0 == 0
        ${OrIf} $2 >= ${END_WAIT_STEPS}
            ${Break}
        ${EndIf}
        Sleep 100
        IntOp $2 $2 + 1
    ${Loop}
    Pop $2
FunctionEnd

; Takes the file $R0 away: deleted when it can be, else (a hook library still mapped in another
; program, a program that would not end) renamed aside to "<file>.<n>.old", which the program's
; next start or, after an uninstall, the next logon removes. Either the name is free afterwards
; or the step fails.
Function ${UN}SetAside
    Push $1
    Push $2
    StrCpy $1 0
    ${Do}
        Delete "$R0"
        ${IfNot} ${FileExists} "$R0"
            Goto done
        ${EndIf}
        IntOp $1 $1 + 1
        ${If} $1 >= 10
            ${Break}
        ${EndIf}
        Sleep 100
    ${Loop}
    StrCpy $1 1
    ${Do}
        StrCpy $2 "$R0.$1${SET_ASIDE}"
        Delete "$2"
        ${IfNot} ${FileExists} "$2"
            ${Break}
        ${EndIf}
        IntOp $1 $1 + 1
    ${Loop}
    ClearErrors
    Rename "$R0" "$2"
    ${If} ${Errors}
        MessageBox MB_ICONSTOP|MB_OK "$(MsgCannotReplace)" /SD IDOK
        Abort
    ${EndIf}
    DetailPrint "$R0 -> $2"
    !if "${UN}" == "un."
        ; Nothing of ours starts again after an uninstall: the next logon removes what is left.
        WriteRegStr HKCU "${RUNONCE_KEY}" "${CLEANUP_VALUE}" '"$SYSDIR\cmd.exe" /c del /f /q "$INSTDIR\*${SET_ASIDE}" & rmdir "$INSTDIR\Language" & rmdir "$INSTDIR"'
    !endif
  done:
    Pop $2
    Pop $1
FunctionEnd
!macroend

!insertmacro DefineIsRunning ""
!insertmacro DefineIsRunning "un."

; The Run value the options page writes: "<folder>\Lumivex.exe /m", the path quoted when it has a
; blank. In $0.
!macro DefineAutostartCommand UN
Function ${UN}AutostartCommand
    Push $1
    Push $2
    StrCpy $0 "$INSTDIR\${MAIN_PROGRAM}"
    StrCpy $1 0
    ${Do}
        StrCpy $2 $0 1 $1
        ${If} $2 == ""
            ${Break}
        ${ElseIf} $2 == " "
            StrCpy $0 '"$0"'
            ${Break}
        ${EndIf}
        IntOp $1 $1 + 1
    ${Loop}
    StrCpy $0 "$0 /m"
    Pop $2
    Pop $1
FunctionEnd
!macroend
!insertmacro DefineAutostartCommand ""

; Puts a file in place through "<file>.new", so a failed write never leaves a half-written file
; under the real name.
!macro PutFile NAME SOURCE
    StrCpy $R0 "$INSTDIR\${NAME}"
    Call SetAside
    File "/oname=$INSTDIR\${NAME}.new" "${SOURCE}"
    ClearErrors
    Rename "$INSTDIR\${NAME}.new" "$INSTDIR\${NAME}"
    ${If} ${Errors}
        MessageBox MB_ICONSTOP|MB_OK "$(MsgCannotReplace)" /SD IDOK
        Abort
    ${EndIf}
!macroend

!macro DropFile NAME SOURCE
    StrCpy $R0 "$INSTDIR\${NAME}"
    Call un.SetAside
!macroend

; --- Installer ----------------------------------------------------------------------------------

Section "!$(SecProgramName)" SecProgram
    SectionIn RO
    ; A running copy (installed or portable) ends first: any copy's "/u" ends it and its server,
    ; so the new program, unpacked aside, asks.
    Call IsRunning
    StrCpy $WasRunning $0
    ${If} $WasRunning == 1
        InitPluginsDir
        File "/oname=$PLUGINSDIR\${MAIN_PROGRAM}" "${STAGE}/${MAIN_PROGRAM}"
        ExecWait '"$PLUGINSDIR\${MAIN_PROGRAM}" /u'
        Call WaitForEnd
    ${EndIf}

    CreateDirectory "$INSTDIR\Language"
    SetOutPath "$INSTDIR"
    !insertmacro PutFile "${MAIN_PROGRAM}" "${STAGE}/${MAIN_PROGRAM}"
    !insertmacro PutFile "${LIBRARY}" "${STAGE}/${LIBRARY}"
    !insertmacro PutFile "${SERVER_PROGRAM}" "${STAGE}/${SERVER_PROGRAM}"
    !insertmacro PutFile "${LIBRARY64}" "${STAGE}/${LIBRARY64}"
    !insertmacro ForEachLanguageFile PutFile
    ; Files an earlier install set aside go as soon as nothing holds them.
    Delete "$INSTDIR\*${SET_ASIDE}"

    StrCpy $R0 "$INSTDIR\${UNINSTALLER}"
    Call SetAside
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${MAIN_PROGRAM}" "" \
        "$INSTDIR\${MAIN_PROGRAM}" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${MAIN_PROGRAM},0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "$(SecLogonName)" SecLogon
    Call AutostartCommand
    WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" $0
SectionEnd

Section "-Finish"
    ; Unticked: this copy no longer starts at logon (another copy's value is left alone).
    ${IfNot} ${SectionIsSelected} ${SecLogon}
        Call AutostartCommand
        ReadRegStr $1 HKCU "${RUN_KEY}" "${RUN_VALUE}"
        ${If} $1 == $0
            DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
        ${EndIf}
    ${EndIf}
    ; A silent upgrade gives back what it ended, in the tray as at logon; with pages, the finish
    ; page offers the start.
    ${If} ${Silent}
    ${AndIf} $WasRunning == 1
        Exec '"$INSTDIR\${MAIN_PROGRAM}" /m'
    ${EndIf}
SectionEnd

Function .onInit
    ; An upgrade keeps the user's choice of starting at logon, as the options page left it.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "UninstallString"
    ${If} $0 != ""
        ReadRegStr $1 HKCU "${RUN_KEY}" "${RUN_VALUE}"
        ${If} $1 == ""
            !insertmacro UnselectSection ${SecLogon}
        ${EndIf}
    ${EndIf}
FunctionEnd

; --- Uninstaller --------------------------------------------------------------------------------

Section "!un.$(SecProgramName)" UnSecProgram
    SectionIn RO
    ; "/clean" takes the Run value away and ends a running copy with its server.
    ${If} ${FileExists} "$INSTDIR\${MAIN_PROGRAM}"
        ExecWait '"$INSTDIR\${MAIN_PROGRAM}" /clean'
    ${EndIf}
    Call un.WaitForEnd
    !insertmacro DropFile "${MAIN_PROGRAM}" ""
    !insertmacro DropFile "${LIBRARY}" ""
    !insertmacro DropFile "${SERVER_PROGRAM}" ""
    !insertmacro DropFile "${LIBRARY64}" ""
    !insertmacro ForEachLanguageFile DropFile
    Delete "$INSTDIR\*.new"
    Delete "$INSTDIR\${UNINSTALLER}"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; What was set aside first may be free by now (a program that has ended since).
    Delete "$INSTDIR\*${SET_ASIDE}"
    RMDir "$INSTDIR\Language"
    RMDir "$INSTDIR"
    ${IfNot} ${FileExists} "$INSTDIR\*.*"
        DeleteRegValue HKCU "${RUNONCE_KEY}" "${CLEANUP_VALUE}"
    ${EndIf}
SectionEnd

Section /o "un.$(SecSettingsName)" UnSecSettings
    RMDir /r "$APPDATA\${DATA_FOLDER}"
SectionEnd
