; The Windows installer, built twice by scripts/build-windows.sh: for
; x86-unicode (runs on every Windows) and for amd64-unicode. Both carry the
; 32-bit and the 64-bit build of the programs and install the one that fits
; the scale maker's TWSWTCP.DLL, which the user names on a page of its own or,
; silently, with  setup.exe /S /DLL=C:\cesta\TWSWTCP.DLL
;
; makensis -DVERSION=1.4 -DVIVERSION=1.4.0.0 -DTARGET=amd64-unicode -DOUTFILE=setup.exe
;          -DBIN32=folder -DBIN64=folder -DDOCS=folder zalohy.nsi
; BIN32 and BIN64 hold zalohy.exe and zaltool.exe, DOCS CTIMNE.txt and LICENSE.txt.
;
; Per user, no administrator rights: the programs go to
; %LOCALAPPDATA%\Programs\Zalohy, the working folder (settings, list of
; scales, the scales' data) is Documents\Zalohy and stays when uninstalling.
; What was chosen is kept under HKCU\Software\Zalohy, so an update without a
; new library keeps the installed one.

Unicode true
Target ${TARGET}
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include nsDialogs.nsh
!include x64.nsh

!define PRODUCT "Zálohování dat SM90/300/500 ETH"
!define PUBLISHER "Servis vah, Praha"
!define SETTINGS_KEY "Software\Zalohy"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zalohy"
!define MENU_FOLDER "$SMPROGRAMS\Zalohy"
!define DLL_NAME "TWSWTCP.DLL"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Zalohy"
InstallDirRegKey HKCU "${SETTINGS_KEY}" "InstallDir"
RequestExecutionLevel user
BrandingText "${PRODUCT} ${VERSION}"

Var DllSource    ; the library named by the user (/DLL= or the page); "" keeps the installed one
Var DllChecked   ; the library that was checked: DllSource or the installed one
Var Bits         ; 32 or 64: the build that fits the library
Var DllError     ; why the library is refused, "" when it fits
Var DataDir
Var DllField
; The library reader's state.
Var PeFile
Var PeValue
Var PeAt
Var PeCount
Var PeByte
Var PeSections
Var PeSectionCount
Var PeRva

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
Page custom DllPage DllPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\CTIMNE.txt"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Czech"

VIProductVersion "${VIVERSION}"
VIAddVersionKey /LANG=${LANG_CZECH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_CZECH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_CZECH} "FileDescription" "Instalace programu ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_CZECH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_CZECH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_CZECH} "LegalCopyright" "© ${PUBLISHER} 2026"

; --- Reading the library's PE header -------------------------------------

; Reads $PeCount little-endian bytes at offset $PeAt of $PeFile into $PeValue;
; sets the error flag when the file ends before.
Function ReadLE
  FileSeek $PeFile $PeAt SET
  StrCpy $PeValue 0
  StrCpy $0 0
  ${DoWhile} $0 < $PeCount
    FileReadByte $PeFile $PeByte
    IntOp $1 $0 * 8
    IntOp $PeByte $PeByte << $1
    IntOp $PeValue $PeValue | $PeByte
    IntOp $0 $0 + 1
  ${Loop}
FunctionEnd

!macro Read COUNT AT
  StrCpy $PeCount ${COUNT}
  IntOp $PeAt ${AT} + 0
  Call ReadLE
!macroend

; The file offset of relative virtual address $PeRva through the section
; table ($PeSections, $PeSectionCount entries) into $PeAt, or -1.
Function RvaToOffset
  StrCpy $2 0
  StrCpy $3 -1
  ${DoWhile} $2 < $PeSectionCount
    IntOp $4 $2 * 40
    IntOp $4 $4 + $PeSections
    IntOp $5 $4 + 8
    !insertmacro Read 4 $5
    StrCpy $6 $PeValue     ; virtual size
    IntOp $5 $4 + 16
    !insertmacro Read 4 $5
    ${If} $PeValue > $6    ; the larger of virtual and raw size
      StrCpy $6 $PeValue
    ${EndIf}
    IntOp $5 $4 + 12
    !insertmacro Read 4 $5
    StrCpy $7 $PeValue     ; virtual address
    IntOp $8 $7 + $6
    ${If} $PeRva U>= $7
    ${AndIf} $PeRva U< $8
      IntOp $5 $4 + 20
      !insertmacro Read 4 $5
      IntOp $3 $PeRva - $7
      IntOp $3 $3 + $PeValue
      ${Break}
    ${EndIf}
    IntOp $2 $2 + 1
  ${Loop}
  StrCpy $PeAt $3
FunctionEnd

; Checks $DllChecked: a Windows DLL (PE signature, DLL flag 0x2000) for x86
; or x64 that exports a function at ordinal 2, the program's entry point.
; Sets $Bits, or $DllError to the Czech reason.
Function CheckDll
  StrCpy $DllError ""
  StrCpy $Bits ""
  ClearErrors
  FileOpen $PeFile $DllChecked r
  ${If} ${Errors}
    StrCpy $DllError "Soubor $DllChecked nelze otevřít."
    Return
  ${EndIf}
  StrCpy $9 "Soubor $DllChecked není knihovna DLL pro Windows. Vyberte knihovnu ${DLL_NAME} od výrobce vah."
  !insertmacro Read 2 0
  IntCmp $PeValue 0x5A4D 0 bad bad
  !insertmacro Read 4 0x3C
  StrCpy $R0 $PeValue            ; the PE header
  !insertmacro Read 4 $R0
  IfErrors bad
  IntCmp $PeValue 0x4550 0 bad bad
  IntOp $R1 $R0 + 4
  !insertmacro Read 2 $R1
  StrCpy $R2 $PeValue            ; machine
  IntOp $R1 $R0 + 6
  !insertmacro Read 2 $R1
  StrCpy $PeSectionCount $PeValue
  IntOp $R1 $R0 + 20
  !insertmacro Read 2 $R1
  StrCpy $R3 $PeValue            ; size of the optional header
  IntOp $R1 $R0 + 22
  !insertmacro Read 2 $R1
  IntOp $R1 $PeValue & 0x2000
  IfErrors bad
  IntCmp $R1 0 bad
  IntOp $R4 $R0 + 24             ; the optional header
  IntOp $PeSections $R4 + $R3
  !insertmacro Read 2 $R4
  ${If} $R2 = 0x14C
  ${AndIf} $PeValue = 0x10B
    StrCpy $Bits 32
    IntOp $R5 $R4 + 92           ; number of data directories
  ${ElseIf} $R2 = 0x8664
  ${AndIf} $PeValue = 0x20B
    StrCpy $Bits 64
    IntOp $R5 $R4 + 108
  ${Else}
    StrCpy $9 "Knihovna $DllChecked není pro procesory x86 ani x64."
    Goto bad
  ${EndIf}
  StrCpy $9 "Knihovna $DllChecked nemá funkci s pořadovým číslem 2, kterou program volá. Není to knihovna ${DLL_NAME} od výrobce vah."
  !insertmacro Read 4 $R5
  IfErrors bad
  IntCmp $PeValue 1 0 bad        ; no export directory entry
  IntOp $R5 $R5 + 4
  !insertmacro Read 4 $R5        ; the export directory's address
  StrCpy $PeRva $PeValue
  IfErrors bad
  IntCmp $PeRva 0 bad
  Call RvaToOffset
  IntCmp $PeAt 0 bad bad 0
  StrCpy $R6 $PeAt
  IntOp $R1 $R6 + 16
  !insertmacro Read 4 $R1
  IntOp $R7 2 - $PeValue         ; the index of ordinal 2: 2 - ordinal base
  IntOp $R1 $R6 + 20
  !insertmacro Read 4 $R1        ; number of functions
  IfErrors bad
  ${If} $R7 < 0
  ${OrIf} $R7 U>= $PeValue
    Goto bad
  ${EndIf}
  IntOp $R1 $R6 + 28
  !insertmacro Read 4 $R1        ; the address table
  StrCpy $PeRva $PeValue
  Call RvaToOffset
  IntCmp $PeAt 0 bad bad 0
  IntOp $R1 $R7 * 4
  IntOp $R1 $R1 + $PeAt
  !insertmacro Read 4 $R1
  IfErrors bad
  IntCmp $PeValue 0 bad
  FileClose $PeFile
  ${IfNot} ${RunningX64}
  ${AndIf} $Bits = 64
    StrCpy $DllError "Knihovna $DllChecked je 64bitová, ale tyto Windows jsou 32bitové. Použijte 32bitovou knihovnu od výrobce vah."
  ${EndIf}
  Return
bad:
  FileClose $PeFile
  StrCpy $DllError $9
  StrCpy $Bits ""
FunctionEnd

; Which library to install: $DllSource, or without one the installed
; library of an earlier installation. Sets $DllChecked, $Bits, $DllError.
Function ResolveDll
  ${If} $DllSource == ""
    ${If} ${FileExists} "$INSTDIR\${DLL_NAME}"
      StrCpy $DllChecked "$INSTDIR\${DLL_NAME}"
    ${Else}
      StrCpy $DllError "Vyberte knihovnu ${DLL_NAME} od výrobce vah (tichá instalace: setup.exe /S /DLL=C:\cesta\${DLL_NAME})."
      Return
    ${EndIf}
  ${Else}
    StrCpy $DllChecked $DllSource
  ${EndIf}
  Call CheckDll
FunctionEnd

; --- Pages ---------------------------------------------------------------

; The value of /DLL= in the command line $R0 into $DllSource: up to the
; next blank, or between quotes when the value or the whole option is quoted
; (/DLL="C:\a b\x.dll", "/DLL=C:\a b\x.dll"). A path may hold slashes, which
; the stock option reader takes for the start of the next option.
Function ReadDllOption
  StrCpy $DllSource ""
  StrCpy $R1 0
  ${Do}
    StrCpy $R2 $R0 5 $R1
    ${If} $R2 == ""
      Return
    ${EndIf}
    ${If} $R2 == "/DLL="
      ${Break}
    ${EndIf}
    IntOp $R1 $R1 + 1
  ${Loop}
  StrCpy $R3 " "                 ; what ends the value
  ${If} $R1 > 0
    IntOp $R2 $R1 - 1
    StrCpy $R2 $R0 1 $R2
    ${If} $R2 == '"'
      StrCpy $R3 '"'
    ${EndIf}
  ${EndIf}
  IntOp $R1 $R1 + 5
  StrCpy $R2 $R0 1 $R1
  ${If} $R2 == '"'
    StrCpy $R3 '"'
    IntOp $R1 $R1 + 1
  ${EndIf}
  StrCpy $R4 $R1
  ${Do}
    StrCpy $R2 $R0 1 $R4
    ${If} $R2 == ""
    ${OrIf} $R2 == $R3
      ${Break}
    ${EndIf}
    IntOp $R4 $R4 + 1
  ${Loop}
  IntOp $R4 $R4 - $R1
  StrCpy $DllSource $R0 $R4 $R1
FunctionEnd

Function .onInit
  ${GetParameters} $R0
  Call ReadDllOption
  ${If} ${Silent}
    Call ResolveDll
    ${If} $DllError != ""
      MessageBox MB_ICONSTOP|MB_OK "$DllError" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function DllPage
  !insertmacro MUI_HEADER_TEXT "Knihovna pro komunikaci s váhou" "Vyberte knihovnu ${DLL_NAME} od výrobce vah."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 60u "Program komunikuje s váhami přes knihovnu ${DLL_NAME} od výrobce vah. Podle ní instalátor nainstaluje 32bitovou nebo 64bitovou verzi programu a knihovnu zkopíruje k programu.$\r$\n$\r$\nPři aktualizaci můžete pole nechat prázdné: zůstane dosud nainstalovaná knihovna."
  Pop $0
  ${NSD_CreateText} 0 66u 78% 13u "$DllSource"
  Pop $DllField
  ${NSD_CreateBrowseButton} 80% 65u 20% 15u "Procházet..."
  Pop $0
  ${NSD_OnClick} $0 BrowseDll
  ${NSD_SetFocus} $DllField
  nsDialogs::Show
FunctionEnd

Function BrowseDll
  ${NSD_GetText} $DllField $0
  nsDialogs::SelectFileDialog open "$0" "Knihovna ${DLL_NAME}|${DLL_NAME}|Knihovny DLL (*.dll)|*.dll|Všechny soubory (*.*)|*.*"
  Pop $0
  ${If} $0 != ""
    ${NSD_SetText} $DllField $0
  ${EndIf}
FunctionEnd

Function DllPageLeave
  ${NSD_GetText} $DllField $DllSource
  Call ResolveDll
  ${If} $DllError != ""
    MessageBox MB_ICONSTOP|MB_OK "$DllError"
    Abort
  ${EndIf}
FunctionEnd

Function StartProgram
  SetOutPath $DataDir
  Exec '"$INSTDIR\zalohy.exe"'
FunctionEnd

; --- Installation --------------------------------------------------------

Section "Program"
  SetShellVarContext current
  SetOutPath $INSTDIR
  ; A file that cannot be replaced (the program still running) is skipped in
  ; silent mode with the error flag set: never report such an install as done.
  ClearErrors
  ${If} $Bits = 64
    File "${BIN64}\zalohy.exe"
    File "${BIN64}\zaltool.exe"
  ${Else}
    File "${BIN32}\zalohy.exe"
    File "${BIN32}\zaltool.exe"
  ${EndIf}
  File "${DOCS}\CTIMNE.txt"
  File "${DOCS}\LICENSE.txt"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP|MB_OK "Soubory programu v $INSTDIR nelze přepsat. Ukončete program Zálohování dat a spusťte instalaci znovu." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ${If} $DllChecked != "$INSTDIR\${DLL_NAME}"
    WriteRegStr HKCU "${SETTINGS_KEY}" "Library" "$DllChecked"
    ClearErrors
    CopyFiles /SILENT "$DllChecked" "$INSTDIR\${DLL_NAME}"
    ${If} ${Errors}
      MessageBox MB_ICONSTOP|MB_OK "Knihovnu $DllChecked nelze zkopírovat do $INSTDIR." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}

  ; The working folder: writable, the user's own, kept by the uninstaller.
  ; Its files are made only when missing, so an update keeps them.
  StrCpy $DataDir "$DOCUMENTS\Zalohy"
  CreateDirectory $DataDir
  ${IfNot} ${FileExists} "$DataDir\Skladex.ini"
    FileOpen $0 "$DataDir\Skladex.ini" w
    FileWrite $0 "[SOUBOR_ZALOHY]$\r$\n"
    FileClose $0
  ${EndIf}
  ${IfNot} ${FileExists} "$DataDir\seznam.lst"
    FileOpen $0 "$DataDir\seznam.lst" w
    FileClose $0
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The shortcuts start in the working folder (SetOutPath names it).
  CreateDirectory "${MENU_FOLDER}"
  SetOutPath $DataDir
  CreateShortcut "${MENU_FOLDER}\Zálohování dat.lnk" "$INSTDIR\zalohy.exe" "" "$INSTDIR\zalohy.exe" 0
  CreateShortcut "${MENU_FOLDER}\Návod CTIMNE.txt.lnk" "$INSTDIR\CTIMNE.txt"
  CreateShortcut "${MENU_FOLDER}\Odinstalovat.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKCU "${SETTINGS_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${SETTINGS_KEY}" "DataDir" "$DataDir"
  WriteRegDWORD HKCU "${SETTINGS_KEY}" "Bits" $Bits
  WriteRegStr HKCU "${SETTINGS_KEY}" "Version" "${VERSION}"

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zalohy.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes the programs, the library, the shortcuts and the registry entries;
; the working folder in Documents stays with the user's data.
Section "Uninstall"
  SetShellVarContext current
  Delete "$INSTDIR\zalohy.exe"
  Delete "$INSTDIR\zaltool.exe"
  Delete "$INSTDIR\${DLL_NAME}"
  Delete "$INSTDIR\CTIMNE.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${MENU_FOLDER}\Zálohování dat.lnk"
  Delete "${MENU_FOLDER}\Návod CTIMNE.txt.lnk"
  Delete "${MENU_FOLDER}\Odinstalovat.lnk"
  RMDir "${MENU_FOLDER}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd
