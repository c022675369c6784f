; Corvane's installer for Windows, made with NSIS's makensis by make-packages.sh:
;   makensis -DVERSION=1.0.0 -DVERSION4=1.0.0.0 -DSTAGE=<portable folder> -DFILES=<files.nsh>
;            -DUNFILES=<unfiles.nsh> -DICON=<corvane.ico> -DLICENSE=<LICENSE> -DOUTFILE=<setup.exe>
;            corvane.nsi
; It puts the portable folder's files into a folder, for all users (Program Files, which needs an
; administrator) or for the current user alone (AppData\Local\Programs, which does not), with a
; Start menu entry and an uninstaller listed in Windows' installed programs. An earlier
; installation, found through its uninstall entry, is uninstalled first: an upgrade in its folder,
; or a move to the newly chosen one. The uninstaller removes exactly the files it installed:
; results live in each user's Documents\Corvane and stay.
;   setup.exe /S [/AllUsers | /CurrentUser] [/D=FOLDER]   install without questions
;   the uninstall entry's QuietUninstallString             uninstall without questions, and
;                                                        return once it is done
; The installer is itself a 64-bit program, as the one it installs: it runs wherever Corvane can.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT "Corvane"
!define PUBLISHER "The Corvane developers"
!define COPYRIGHT "© 2026 The Corvane developers"
!define WEBSITE "https://corvane.org/"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvane"
!define MAIN_WINDOW "Corvane - File Encoder/Decoder"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION4}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION4}"
VIAddVersionKey "ProductVersion" "${VERSION4}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\corvane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Run ${PRODUCT}"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Waits until no Corvane runs: a running copy keeps its files. In silent mode the answer is
; Cancel, and the installer or uninstaller ends with status 2 rather than leave a mixed folder.
!macro WAIT_FOR_NO_RUNNING_COPY UN
Function ${UN}WaitForNoRunningCopy
  ${Do}
    FindWindow $0 "" "${MAIN_WINDOW}"
    ${If} $0 == 0
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running. Close it, then press Retry." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro WAIT_FOR_NO_RUNNING_COPY ""
!insertmacro WAIT_FOR_NO_RUNNING_COPY "un."

; The earlier installation in registry ROOT (HKLM: for all users, HKCU: for one), if any, is
; uninstalled by its own uninstaller, which waits until it is done; then its uninstall entry, its
; Start menu entry and its folder are gone, and the new files go into a clean folder.
!macro REMOVE_EARLIER ROOT
  ReadRegStr $0 ${ROOT} "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 ${ROOT} "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\Uninstall.exe"
    DetailPrint "Removing ${PRODUCT} $1 from $0"
    ExecWait '"$0\Uninstall.exe" /S _?=$0' $2
    ${If} $2 != 0
      MessageBox MB_ICONSTOP "The earlier ${PRODUCT} in $0 could not be removed." /SD IDOK
      Abort
    ${EndIf}
    ; An earlier uninstaller that does not move itself away stays in its folder when run there.
    Delete "$0\Uninstall.exe"
    RMDir "$0"
  ${EndIf}
!macroend

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${PRODUCT} needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ; A folder given with /D= stands; the install mode would otherwise put its own default there.
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $R9 != ""
    StrCpy $INSTDIR $R9
  ${EndIf}
FunctionEnd

; The uninstaller serves the installation in its own folder: all users' when that is the folder
; the all-users entry names, else the current user's.
Function un.onInit
  SetRegView 64
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Corvane"
  Call WaitForNoRunningCopy
  !insertmacro REMOVE_EARLIER HKLM
  !insertmacro REMOVE_EARLIER HKCU
  SetOutPath "$INSTDIR"
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\corvane.exe"
  ; SHCTX: HKLM for all users, HKCU for the current user, as the install mode set it.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\corvane.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "URLInfoAbout" "${WEBSITE}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "HelpLink" "${WEBSITE}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$SYSDIR\cmd.exe" /d /c ""$INSTDIR\Uninstall.exe" /S _?=$INSTDIR && del "$INSTDIR\Uninstall.exe" && rmdir "$INSTDIR""'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Started as "Uninstall.exe" (from Windows' list of programs, or "Uninstall.exe /S"), the
; uninstaller runs from a copy in the temporary folder, which removes everything, itself
; included; the program started first returns at once. Run in its folder (_?=), it returns when
; done, but cannot delete its own file: the QuietUninstallString runs it that way through cmd,
; which then deletes the uninstaller and the folder, so that deployment tools waiting on it see
; everything gone when it returns.
Section "Uninstall"
  Call un.WaitForNoRunningCopy
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  !include "${UNFILES}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
