; Setup program for the NVR Glowpane screen saver and the NPNVR browser plug-in.
;
;   makensis -DSAVER=path\nvrss32.scr -DPLUGIN=path\NPNVR.DLL -DOUTFILE=nvr-setup.exe nvr-setup.nsi
;
; An ANSI installer, so that the same file runs on the Windows 95 family and on NT. A test copy
; for machines that run no 32-bit code packs the x86_64 builds with -DTARGET=amd64-unicode: that
; define is the only thing in which the two differ. Silent use:
;   nvr-setup.exe /S [/NOCURRENT] [/D=folder]     (/D last, unquoted, as the installer wants it)
;   "<folder>\uninstall.exe" /S
; /NOCURRENT leaves the current screen saver as it is. An installation in another folder is
; removed first, by its own uninstaller, leaving the current screen saver and screen saving as they
; are. A saver or plug-in held by a running program is replaced or removed when Windows restarts;
; the finish page then says so.
;
; Everything the uninstaller must undo is recorded under our uninstall key: where copies of the
; plug-in went (and which plug-in folders we created), which screen saver was current before, and
; whether screen saving was on.

!ifndef TARGET
  !define TARGET x86-ansi
!endif
Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef SAVER | PLUGIN | OUTFILE
  !error "define SAVER, PLUGIN and OUTFILE on the command line"
!endif

!define PRODUCT "NVR Glowpane"
!define VERSION "1.4.522"
!define PUBLISHER "Nuvora"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\NuvoraNVR"
; Value name: the path of a copy of the plug-in; data: the plug-in folder we created for it, or "".
!define COPIES_KEY "${UNINST_KEY}\PluginCopies"
!define PLUGINS_ROOT "Software\MozillaPlugins"
!define PLUGIN_KEY "${PLUGINS_ROOT}\@nuvora.com/NPNVR"
!define MIME "application/x-nvr"
; SystemParametersInfo: read and set whether screen saving is on; save the setting and announce it.
!define SPI_GETSCREENSAVEACTIVE 16
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_SAVE_AND_SEND 3
; The exit code that tells a deployment tool the work is complete only after a restart.
!define REBOOT_REQUIRED 3010

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Nuvora NVR"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "1.4.0.522"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh
!include Sections.nsh

!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_TITLE "${PRODUCT} is installed"
!define MUI_FINISHPAGE_TEXT "The screen saver is listed in the Display settings, and the browser plug-in opens NVR Link files (*.nvr) in your browser.$\r$\n$\r$\nBoth work with the Nuvora main application, which this setup does not install. They find it through the file WIN.INI, section [NVR], key Exe; without that entry they look for c:\nvr\nvr.exe.$\r$\n$\r$\nTo remove them, use Add/Remove Programs."
!define MUI_FINISHPAGE_TEXT_REBOOT "A running program (the screen saver, its preview in the Display settings, or a browser) holds a file that was installed before. It is replaced or removed when Windows restarts; until then the running program keeps using it.$\r$\n$\r$\nTo remove the programs later, use Add/Remove Programs."
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUCT} is removed"
!define MUI_FINISHPAGE_TEXT "The screen saver and the browser plug-in are removed."
!define MUI_FINISHPAGE_TEXT_REBOOT "A running program (the screen saver, its preview, or a browser) holds one of the files. It is removed when Windows restarts."
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

Var pluginCopies    ; how many copies of the plug-in this run placed
Var registeredCopy  ; the copy named in the plug-in registration
Var saverDeletion   ; "1" when the earlier installation's uninstaller left the saver to be
                    ; deleted at the restart

; ---------------------------------------------------------------------------------------------
; The current screen saver: where the system keeps it depends on the family.

; Reads the current screen saver into $0; $1 is "1" when a setting exists, else "0".
; $2 names the place: "system.ini" (95 family) or "registry" (NT).
!macro ReadCurrentSaver un
Function ${un}ReadCurrentSaver
  ClearErrors
  ${If} $2 == "system.ini"
    ReadINIStr $0 "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
  ${Else}
    ReadRegStr $0 HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  ${EndIf}
  ${If} ${Errors}
    StrCpy $1 "0"
  ${Else}
    StrCpy $1 "1"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro ReadCurrentSaver ""
!insertmacro ReadCurrentSaver "un."

; ---------------------------------------------------------------------------------------------
; Installation

; An installation in another folder is removed first, by its own uninstaller from its records, so
; that one installation exists at a time. Run in place (_?=) so that it can be waited for; it
; cannot delete itself then, which is done here.
Function RemoveEarlierInstallation
  StrCpy $saverDeletion "0"
  ClearErrors
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  ${If} ${Errors}
  ${OrIf} $0 == ""
  ${OrIf} $0 == $INSTDIR
    Return
  ${EndIf}
  DetailPrint "Removing the earlier installation in $0"
  ${If} ${FileExists} "$0\uninstall.exe"
    ; Its uninstaller gives back the saver and screen saving only where it finds the record of
    ; them: hidden from it, both stay as they are now, and the record passes on to this one.
    StrCpy $R0 ""
    ClearErrors
    ReadRegStr $R0 HKLM "${UNINST_KEY}" "SaverSetIn"
    ${IfNot} ${Errors}
      ReadRegStr $R1 HKLM "${UNINST_KEY}" "SaverWritten"
      ClearErrors
      ReadRegStr $R2 HKLM "${UNINST_KEY}" "PreviousSaver"
      StrCpy $R3 "1"
      ${If} ${Errors}
        StrCpy $R3 "0"
      ${EndIf}
      ReadRegDWORD $R4 HKLM "${UNINST_KEY}" "SaverWasActive"
      DeleteRegValue HKLM "${UNINST_KEY}" "SaverSetIn"
    ${EndIf}
    ExecWait '"$0\uninstall.exe" /S _?=$0' $1
    DetailPrint "Its uninstaller ended with $1"
    ${If} $1 == ${REBOOT_REQUIRED}
      SetRebootFlag true
    ${EndIf}
    Delete "$0\uninstall.exe"
    ${If} $R0 != ""
      WriteRegStr HKLM "${UNINST_KEY}" "SaverSetIn" $R0
      WriteRegStr HKLM "${UNINST_KEY}" "SaverWritten" $R1
      ${If} $R3 == "1"
        WriteRegStr HKLM "${UNINST_KEY}" "PreviousSaver" $R2
      ${EndIf}
      WriteRegDWORD HKLM "${UNINST_KEY}" "SaverWasActive" $R4
    ${EndIf}
    ; It deletes the saver, or has it deleted at the restart when a running program holds it.
    ${If} ${FileExists} "$SYSDIR\nvrss32.scr"
      StrCpy $saverDeletion "1"
    ${EndIf}
  ${EndIf}
  ; When a held file keeps it, the uninstaller has had it removed at the restart.
  RMDir "$0"
FunctionEnd

Section "-Program files"
  Call RemoveEarlierInstallation
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; A running saver or its preview in the Display settings holds the file: the new one then waits
  ; beside it and takes its place when Windows restarts. So it does, too, after a deletion that
  ; the earlier uninstaller left for the restart, which would otherwise remove it.
  SetOutPath "$SYSDIR"
  ClearErrors
  SetOverwrite try
  File "/oname=nvrss32.scr" "${SAVER}"
  SetOverwrite on
  ${If} ${Errors}
  ${OrIf} $saverDeletion == "1"
    DetailPrint "In use: $SYSDIR\nvrss32.scr is replaced when Windows restarts"
    File "/oname=nvrss32.scr.new" "${SAVER}"
    Rename /REBOOTOK "$SYSDIR\nvrss32.scr.new" "$SYSDIR\nvrss32.scr"
  ${EndIf}

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT} screen saver and browser plug-in"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$SYSDIR\nvrss32.scr,0"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; Records where our setting went ($2), what it says ($3), and whether screen saving was on.
Function RecordSaverSetting
  WriteRegStr HKLM "${UNINST_KEY}" "SaverSetIn" $2
  WriteRegStr HKLM "${UNINST_KEY}" "SaverWritten" $3
  System::Call 'user32::SystemParametersInfo(i ${SPI_GETSCREENSAVEACTIVE}, i 0, *i 1 r5, i 0)'
  WriteRegDWORD HKLM "${UNINST_KEY}" "SaverWasActive" $5
FunctionEnd

Section "Make it the current screen saver" SecCurrent
  ${If} ${IsNT}
    StrCpy $2 "registry"
  ${Else}
    StrCpy $2 "system.ini"
  ${EndIf}
  ; The 95 family keeps short names there; NT accepts them too.
  GetFullPathName /SHORT $3 "$SYSDIR\nvrss32.scr"
  ${If} $3 == ""
    StrCpy $3 "$SYSDIR\nvrss32.scr"
  ${EndIf}
  Call ReadCurrentSaver

  ; Remember what was current, unless it is ours already (a second install, or a choice made
  ; by hand): the record of an earlier install then stays as it is.
  ClearErrors
  ReadRegStr $4 HKLM "${UNINST_KEY}" "SaverSetIn"
  ${If} $1 == "1"
  ${AndIf} $0 == $3
    ${If} ${Errors}
      Call RecordSaverSetting
    ${EndIf}
  ${Else}
    Call RecordSaverSetting
    ${If} $1 == "1"
      WriteRegStr HKLM "${UNINST_KEY}" "PreviousSaver" $0
    ${Else}
      DeleteRegValue HKLM "${UNINST_KEY}" "PreviousSaver"
    ${EndIf}
    DetailPrint "Making ${PRODUCT} the current screen saver ($2)"
    ${If} $2 == "system.ini"
      WriteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE" $3
      FlushINI "$WINDIR\system.ini"
    ${Else}
      WriteRegStr HKCU "Control Panel\Desktop" "SCRNSAVE.EXE" $3
    ${EndIf}
    ; Named but switched off it would never run: switched on as the Display settings do when a
    ; saver is chosen, so that the platform keeps the setting where the family keeps it and tells
    ; the running programs. Ours current already, the user's choice stands.
    System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_SAVE_AND_SEND})'
  ${EndIf}
SectionEnd

; Puts a copy of the plug-in into folder $R0 and records it; the first copy is the one registered.
Function InstallPluginInto
  StrCpy $R1 ""
  ${IfNot} ${FileExists} "$R0\*.*"
    CreateDirectory "$R0"
    StrCpy $R1 "$R0"
  ${EndIf}
  DetailPrint "Plug-in folder: $R0"
  SetOutPath "$R0"
  ; A running browser may hold the copy there: the new one then waits beside it, and takes its
  ; place when Windows restarts.
  ClearErrors
  SetOverwrite try
  File "/oname=NPNVR.DLL" "${PLUGIN}"
  SetOverwrite on
  ${If} ${Errors}
    DetailPrint "In use: $R0\NPNVR.DLL is replaced when Windows restarts"
    File "/oname=NPNVR.DLL.new" "${PLUGIN}"
    Rename /REBOOTOK "$R0\NPNVR.DLL.new" "$R0\NPNVR.DLL"
  ${EndIf}
  ; An earlier record of the same copy is kept: it knows whether the folder was ours.
  ClearErrors
  ReadRegStr $R2 HKLM "${COPIES_KEY}" "$R0\NPNVR.DLL"
  ${If} ${Errors}
    WriteRegStr HKLM "${COPIES_KEY}" "$R0\NPNVR.DLL" $R1
  ${EndIf}
  ${If} $pluginCopies == 0
    StrCpy $registeredCopy "$R0\NPNVR.DLL"
  ${EndIf}
  IntOp $pluginCopies $pluginCopies + 1
FunctionEnd

; Each browser of the family registered under HKLM\$R5 as <product>\<version>\Main
; "Install Directory" (Navigator 4 names its program folder there; later ones their own) gets a
; copy in the "Plugins" folder beside its program. Entries naming no existing folder are stale.
Function InstallPluginForBrowsersUnder
  StrCpy $R3 0
  ${Do}
    EnumRegKey $R6 HKLM "$R5" $R3
    ${If} $R6 == ""
      ${Break}
    ${EndIf}
    StrCpy $R4 0
    ${Do}
      EnumRegKey $R7 HKLM "$R5\$R6" $R4
      ${If} $R7 == ""
        ${Break}
      ${EndIf}
      ReadRegStr $R8 HKLM "$R5\$R6\$R7\Main" "Install Directory"
      ${If} $R8 != ""
      ${AndIf} ${FileExists} "$R8\*.*"
        DetailPrint "Browser found: $R6 $R7"
        StrCpy $R0 "$R8\Plugins"
        Call InstallPluginInto
      ${EndIf}
      IntOp $R4 $R4 + 1
    ${Loop}
    IntOp $R3 $R3 + 1
  ${Loop}
FunctionEnd

Section "-Browser plug-in"
  AddSize 156  ; the copy in a plug-in folder, placed from a function and so not counted otherwise
  StrCpy $pluginCopies 0
  StrCpy $R5 "Software\Netscape"
  Call InstallPluginForBrowsersUnder
  StrCpy $R5 "Software\Mozilla"
  Call InstallPluginForBrowsersUnder
  ${If} $pluginCopies == 0
    DetailPrint "No browser found: the plug-in stays in our own folder"
    StrCpy $R0 "$INSTDIR\Plugins"
    Call InstallPluginInto
  ${EndIf}

  ; Later browsers of the family look for plug-ins under this key. The key above it is removed
  ; again on uninstall only if we made it.
  ClearErrors
  EnumRegKey $0 HKLM "${PLUGINS_ROOT}" 0
  ${If} ${Errors}
    WriteRegDWORD HKLM "${UNINST_KEY}" "MadePluginsRoot" 1
  ${EndIf}
  WriteRegStr HKLM "${PLUGIN_KEY}" "Path" $registeredCopy
  WriteRegStr HKLM "${PLUGIN_KEY}" "Description" "Nuvora Network for Netscape Navigator"
  WriteRegStr HKLM "${PLUGIN_KEY}" "ProductName" "The Nuvora Network"
  WriteRegStr HKLM "${PLUGIN_KEY}" "Vendor" "${PUBLISHER}"
  WriteRegStr HKLM "${PLUGIN_KEY}" "Version" "${VERSION}"
  WriteRegStr HKLM "${PLUGIN_KEY}\MimeTypes\${MIME}" "Description" "NVR Link"
  WriteRegStr HKLM "${PLUGIN_KEY}\MimeTypes\${MIME}" "Suffixes" "nvr"
SectionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${REBOOT_REQUIRED}
  ${EndIf}
FunctionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOCURRENT" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecCurrent}
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------------------------------------
; Uninstallation: exactly what the records name.

Section "Uninstall"
  ; The previous screen saver comes back only while ours is still the current one.
  ClearErrors
  ReadRegStr $2 HKLM "${UNINST_KEY}" "SaverSetIn"
  ${IfNot} ${Errors}
    ReadRegStr $3 HKLM "${UNINST_KEY}" "SaverWritten"
    Call un.ReadCurrentSaver
    ${If} $1 == "1"
    ${AndIf} $0 == $3
      ClearErrors
      ReadRegStr $4 HKLM "${UNINST_KEY}" "PreviousSaver"
      ${If} ${Errors}
        DetailPrint "No screen saver was current before: removing the setting ($2)"
        ${If} $2 == "system.ini"
          DeleteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
        ${Else}
          DeleteRegValue HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
        ${EndIf}
      ${Else}
        DetailPrint "Restoring the previous screen saver: $4 ($2)"
        ${If} $2 == "system.ini"
          WriteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE" $4
        ${Else}
          WriteRegStr HKCU "Control Panel\Desktop" "SCRNSAVE.EXE" $4
        ${EndIf}
      ${EndIf}
      ${If} $2 == "system.ini"
        FlushINI "$WINDIR\system.ini"
      ${EndIf}
      ClearErrors
      ReadRegDWORD $5 HKLM "${UNINST_KEY}" "SaverWasActive"
      ${IfNot} ${Errors}
        DetailPrint "Screen saving back as it was: $5"
        System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i r5, p 0, i ${SPIF_SAVE_AND_SEND})'
      ${EndIf}
    ${EndIf}
  ${EndIf}

  ; Whatever a running program holds goes when Windows restarts; a replacement still waiting for
  ; the restart must not take its place then.
  Delete /REBOOTOK "$SYSDIR\nvrss32.scr"
  Delete "$SYSDIR\nvrss32.scr.new"

  ; Every copy of the plug-in, and the plug-in folders made for them once they are empty.
  ${Do}
    EnumRegValue $0 HKLM "${COPIES_KEY}" 0
    ${If} $0 == ""
      ${Break}
    ${EndIf}
    ReadRegStr $1 HKLM "${COPIES_KEY}" $0
    Delete /REBOOTOK $0
    ; A replacement still waiting for the restart must not take its place then.
    Delete "$0.new"
    ${If} $1 != ""
      ${If} ${FileExists} $0
        RMDir /REBOOTOK $1
      ${Else}
        RMDir $1
      ${EndIf}
    ${EndIf}
    DeleteRegValue HKLM "${COPIES_KEY}" $0
  ${Loop}

  DeleteRegKey HKLM "${PLUGIN_KEY}"
  ReadRegDWORD $0 HKLM "${UNINST_KEY}" "MadePluginsRoot"
  ${If} $0 == 1
    DeleteRegKey /ifempty HKLM "${PLUGINS_ROOT}"
  ${EndIf}

  DeleteRegKey HKLM "${UNINST_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  ; Our folder waits for the restart only when something in it does (a held copy of the plug-in).
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    RMDir "$INSTDIR"
  ${EndIf}
SectionEnd

Function un.onUninstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${REBOOT_REQUIRED}
  ${EndIf}
FunctionEnd
