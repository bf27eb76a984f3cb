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
;
; The nightly job, optional (page "Noční záloha", unticked on a first
; install; silently /NOC=HH:MM sets it up, /NOC=ne removes it, and without
; /NOC an update keeps what was chosen): a task of the Task Scheduler for the
; current user, made from a task definition (schtasks /Create /XML), that runs
; zalohy-noc.cmd beside zaltool.exe in the working folder every day at the
; chosen time: zaltool backup-list seznam.lst Zalohy --jobs=4 --keep=14 --quiet
; (one line per scale and the summary in Zalohy\posledni-noc.log, which each
; night replaces), then zaltool report. The definition stays beside it as
; zalohy-noc.xml (a technician can register it again with schtasks /Create
; /XML). The uninstaller removes the task. An optional address on the same page
; (silently /PING=URL, /PING= clears it) is passed to backup-list as
; --ping=URL: a monitoring service then hears how each night went.
;
; The Start menu's "Přehled záloh" opens the night's page,
; Zalohy\prehled-zaloh.html in the working folder. Until the first night has
; written it, a page in its place (prehled-zatim.html) says so; the installer
; puts it there only when no page is there yet.

Unicode true
Target ${TARGET}
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include nsDialogs.nsh
!include x64.nsh
!include WordFunc.nsh
!include StrFunc.nsh
${StrLoc}

!define PRODUCT "Zálohování dat SM90/300/500 ETH"
!define PUBLISHER "Servis vah, Praha"
!define SETTINGS_KEY "Software\Zalohy"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zalohy"
!define MENU_FOLDER "$SMPROGRAMS\Zalohy"
!define DLL_NAME "TWSWTCP.DLL"
!define NIGHT_JOB "zalohy-noc.cmd"
!define NIGHT_TASK_XML "zalohy-noc.xml"
!define NIGHT_PAGE "Zalohy\prehled-zaloh.html"
; What a ping address may hold: the characters of a URL, nothing that a
; command line or zaltool would take otherwise.
!define URL_CHARS "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~:/?#[]@!$$&'()*+,;=%"

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
Var NightOn      ; 1: the nightly job is wanted
Var NightTime    ; its time, "HH:MM"
Var NightError   ; why the time or the ping address is refused, "" when they are sound
Var NightPing    ; the address told how each night went (--ping), "" for none
Var NightTask    ; the task's name: one per user of the computer
Var NightBox
Var NightField
Var NightPingField
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
Page custom NightPage NightPageLeave
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

; The value of the option $R5 (e.g. "/DLL=") in the command line $R0 into
; $R6, and 1 into $R7 when the option is given (else 0): up to the next
; blank, or between quotes when the value or the whole option is quoted
; (/DLL="C:\a b\x.dll", "/DLL=C:\a b\x.dll"). A path or an address may hold
; slashes, which the stock option reader takes for the start of the next
; option.
Function ReadOption
  StrCpy $R6 ""
  StrCpy $R7 0
  StrLen $R8 $R5
  StrCpy $R1 0
  ${Do}
    StrCpy $R2 $R0 $R8 $R1
    ${If} $R2 == ""
      Return
    ${EndIf}
    ${If} $R2 == $R5
      ${Break}
    ${EndIf}
    IntOp $R1 $R1 + 1
  ${Loop}
  StrCpy $R7 1
  StrCpy $R3 " "                 ; what ends the value
  ${If} $R1 > 0
    IntOp $R2 $R1 - 1
    StrCpy $R2 $R0 1 $R2
    ${If} $R2 == '"'
      StrCpy $R3 '"'
    ${EndIf}
  ${EndIf}
  IntOp $R1 $R1 + $R8
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
  StrCpy $R6 $R0 $R4 $R1
FunctionEnd

; The value of /DLL= into $DllSource.
Function ReadDllOption
  StrCpy $R5 "/DLL="
  Call ReadOption
  StrCpy $DllSource $R6
FunctionEnd

; Checks $NightTime: "HH:MM", 00:00 to 23:59. Sets $NightError.
Function CheckNightTime
  StrCpy $NightError "Zadejte čas ve tvaru HH:MM, například 02:30."
  StrLen $0 $NightTime
  ${If} $0 != 5
    Return
  ${EndIf}
  StrCpy $0 $NightTime 1 2
  ${If} $0 != ":"
    Return
  ${EndIf}
  ${ForEach} $1 0 4 + 1
    ${If} $1 != 2
      ; A digit is the digit at its own place in "0123456789" (anything
      ; else counts as 0 there).
      StrCpy $0 $NightTime 1 $1
      StrCpy $2 "0123456789" 1 $0
      ${If} $2 != $0
        Return
      ${EndIf}
    ${EndIf}
  ${Next}
  StrCpy $0 $NightTime 2
  StrCpy $1 $NightTime 2 3
  IntOp $0 $0 + 0
  IntOp $1 $1 + 0
  ${If} $0 > 23
  ${OrIf} $1 > 59
    Return
  ${EndIf}
  StrCpy $NightError ""
FunctionEnd

; Checks $NightPing: none, or an http:// or https:// address with a host,
; of URL characters only. Sets $NightError.
Function CheckNightPing
  StrCpy $NightError ""
  ${If} $NightPing == ""
    Return
  ${EndIf}
  StrCpy $NightError "Adresa pro hlášení musí začínat http:// nebo https://, uvádět server a nesmí obsahovat mezery, uvozovky ani písmena s diakritikou, například https://hc-ping.com/... (pole může zůstat prázdné)."
  StrCpy $0 $NightPing 7
  StrCpy $1 $NightPing 8
  ${If} $0 S== "http://"
    StrCpy $2 $NightPing "" 7
  ${ElseIf} $1 S== "https://"
    StrCpy $2 $NightPing "" 8
  ${Else}
    Return
  ${EndIf}
  StrCpy $3 $2 1
  ${If} $3 == ""
  ${OrIf} $3 == "/"
  ${OrIf} $3 == "?"
  ${OrIf} $3 == "#"
    Return
  ${EndIf}
  StrLen $4 $NightPing
  IntOp $4 $4 - 1
  ${For} $5 0 $4
    StrCpy $6 $NightPing 1 $5
    ${StrLoc} $7 "${URL_CHARS}" "$6" ">"
    ${If} $7 == ""
      Return
    ${EndIf}
  ${Next}
  StrCpy $NightError ""
FunctionEnd

Function .onInit
  ${GetParameters} $R0
  Call ReadDllOption
  ; The nightly job: as an earlier installation left it, or off.
  ReadEnvStr $0 USERNAME
  StrCpy $NightTask "Zalohy - nocni zaloha ($0)"
  ReadRegStr $NightTime HKCU "${SETTINGS_KEY}" "NightTime"
  ${If} $NightTime == ""
    StrCpy $NightOn 0
    StrCpy $NightTime "02:30"
  ${Else}
    StrCpy $NightOn 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NOC=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "ne"
      StrCpy $NightOn 0
    ${Else}
      StrCpy $NightOn 1
      StrCpy $NightTime $1
      Call CheckNightTime
      ${If} $NightError != ""
        MessageBox MB_ICONSTOP|MB_OK "$NightError" /SD IDOK
        SetErrorLevel 2
        Quit
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ReadRegStr $NightPing HKCU "${SETTINGS_KEY}" "NightPing"
  StrCpy $R5 "/PING="
  Call ReadOption
  ${If} $R7 == 1
    StrCpy $NightPing $R6
    Call CheckNightPing
    ${If} $NightError != ""
      MessageBox MB_ICONSTOP|MB_OK "$NightError" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
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

Function NightPage
  !insertmacro MUI_HEADER_TEXT "Noční záloha" "Zálohování všech vah ze seznamu každou noc."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 50u "Plánovač úloh Windows může každou noc zazálohovat všechny váhy ze souboru seznam.lst v pracovní složce do její složky Zalohy (14 posledních záloh každé váhy) a potom zapsat přehled záloh Zalohy\prehled-zaloh.html. Úloha běží pod vaším účtem, když jste přihlášeni."
  Pop $0
  ${NSD_CreateCheckbox} 0 54u 100% 12u "Zálohovat váhy každou noc"
  Pop $NightBox
  ${If} $NightOn == 1
    ${NSD_Check} $NightBox
  ${EndIf}
  ${NSD_CreateLabel} 0 72u 30% 12u "Čas zálohy (HH:MM):"
  Pop $0
  ${NSD_CreateText} 30% 70u 20% 13u "$NightTime"
  Pop $NightField
  ${NSD_CreateLabel} 0 90u 100% 26u "Adresa pro hlášení (nepovinné, např. služby Healthchecks): po každé noci na ni program pošle výsledek zálohy; když některá váha selže, pošle ho na tuto adresu doplněnou o /fail."
  Pop $0
  ${NSD_CreateText} 0 118u 100% 13u "$NightPing"
  Pop $NightPingField
  nsDialogs::Show
FunctionEnd

Function NightPageLeave
  ${NSD_GetState} $NightBox $0
  ${NSD_GetText} $NightField $NightTime
  ${NSD_GetText} $NightPingField $NightPing
  StrCpy $NightOn 0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $NightOn 1
    Call CheckNightTime
    ${If} $NightError == ""
      Call CheckNightPing
    ${EndIf}
    ${If} $NightError != ""
      MessageBox MB_ICONSTOP|MB_OK "$NightError"
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

; Writes the task definition for $NightTime into $0 (a file), UTF-16 as
; schtasks reads it. The job runs in the working folder.
!macro XmlText VAR
  ${WordReplace} ${VAR} "&" "&amp;" "+" ${VAR}
  ${WordReplace} ${VAR} "<" "&lt;" "+" ${VAR}
  ${WordReplace} ${VAR} ">" "&gt;" "+" ${VAR}
!macroend
Function WriteNightTask
  StrCpy $1 "$INSTDIR\${NIGHT_JOB}"
  !insertmacro XmlText $1
  StrCpy $2 $DataDir
  !insertmacro XmlText $2
  FileOpen $3 $0 w
  FileWriteUTF16LE /BOM $3 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $3 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
  FileWriteUTF16LE $3 '  <RegistrationInfo><Description>Noční záloha vah: zaltool backup-list seznam.lst Zalohy --jobs=4 --keep=14 --quiet, potom zaltool report.</Description></RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $3 '  <Triggers><CalendarTrigger><StartBoundary>2020-01-01T$NightTime:00</StartBoundary><ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger></Triggers>$\r$\n'
  FileWriteUTF16LE $3 '  <Principals><Principal id="Author"><LogonType>InteractiveToken</LogonType><RunLevel>LeastPrivilege</RunLevel></Principal></Principals>$\r$\n'
  FileWriteUTF16LE $3 '  <Settings><StartWhenAvailable>true</StartWhenAvailable><DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries><StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><ExecutionTimeLimit>PT6H</ExecutionTimeLimit><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy><Enabled>true</Enabled></Settings>$\r$\n'
  FileWriteUTF16LE $3 '  <Actions Context="Author"><Exec><Command>$1</Command><WorkingDirectory>$2</WorkingDirectory></Exec></Actions>$\r$\n'
  FileWriteUTF16LE $3 '</Task>$\r$\n'
  FileClose $3
FunctionEnd

; zalohy-noc.cmd beside zaltool.exe: runs in the folder it is started in (the
; task's working folder) or in the one given as its argument. The last
; night's output stays in Zalohy\posledni-noc.log; the exit status is the
; backup's, or 1 when only the page could not be written. The ping address
; goes in quotes, its % doubled for cmd.
Function WriteNightJob
  StrCpy $1 ""
  ${If} $NightPing != ""
    ${WordReplace} $NightPing "%" "%%" "+" $1
    StrCpy $1 ' "--ping=$1"'
  ${EndIf}
  FileOpen $0 "$INSTDIR\${NIGHT_JOB}" w
  FileWrite $0 '@echo off$\r$\n'
  FileWrite $0 'rem Nightly backup of every scale of seznam.lst into Zalohy, then the page on the backups.$\r$\n'
  FileWrite $0 'setlocal$\r$\n'
  FileWrite $0 'if "%~1"=="" goto folder$\r$\n'
  FileWrite $0 'cd /d "%~1"$\r$\n'
  FileWrite $0 'if errorlevel 1 exit /b 1$\r$\n'
  FileWrite $0 ':folder$\r$\n'
  FileWrite $0 'if not exist Zalohy mkdir Zalohy$\r$\n'
  FileWrite $0 '"%~dp0zaltool.exe" backup-list seznam.lst Zalohy --jobs=4 --keep=14 --quiet$1 >Zalohy\posledni-noc.log 2>&1$\r$\n'
  FileWrite $0 'set stav=%errorlevel%$\r$\n'
  FileWrite $0 '"%~dp0zaltool.exe" report Zalohy --list=seznam.lst >>Zalohy\posledni-noc.log 2>&1$\r$\n'
  FileWrite $0 'if errorlevel 1 if %stav%==0 set stav=1$\r$\n'
  FileWrite $0 'exit /b %stav%$\r$\n'
  FileClose $0
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

  ; The nightly job: set up anew with the chosen time, or removed.
  ${If} $NightOn == 1
    ClearErrors
    Call WriteNightJob
    StrCpy $0 "$INSTDIR\${NIGHT_TASK_XML}"
    Call WriteNightTask
    nsExec::ExecToStack '"$SYSDIR\schtasks.exe" /Create /F /TN "$NightTask" /XML "$INSTDIR\${NIGHT_TASK_XML}"'
    Pop $0
    Pop $1
    ${If} $0 != 0
    ${OrIf} ${Errors}
      MessageBox MB_ICONEXCLAMATION|MB_OK "Noční zálohu se nepodařilo naplánovat (schtasks: $0).$\r$\n$1" /SD IDOK
      SetErrorLevel 2
    ${Else}
      WriteRegStr HKCU "${SETTINGS_KEY}" "NightTime" "$NightTime"
      WriteRegStr HKCU "${SETTINGS_KEY}" "NightTask" "$NightTask"
      ${If} $NightPing != ""
        WriteRegStr HKCU "${SETTINGS_KEY}" "NightPing" "$NightPing"
      ${Else}
        DeleteRegValue HKCU "${SETTINGS_KEY}" "NightPing"
      ${EndIf}
    ${EndIf}
  ${Else}
    ReadRegStr $0 HKCU "${SETTINGS_KEY}" "NightTask"
    ${If} $0 != ""
      nsExec::ExecToStack '"$SYSDIR\schtasks.exe" /Delete /F /TN "$0"'
      Pop $1
      Pop $1
    ${EndIf}
    Delete "$INSTDIR\${NIGHT_JOB}"
    Delete "$INSTDIR\${NIGHT_TASK_XML}"
    DeleteRegValue HKCU "${SETTINGS_KEY}" "NightTime"
    DeleteRegValue HKCU "${SETTINGS_KEY}" "NightTask"
    DeleteRegValue HKCU "${SETTINGS_KEY}" "NightPing"
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The shortcuts start in the working folder (SetOutPath names it).
  CreateDirectory "${MENU_FOLDER}"
  SetOutPath $DataDir
  CreateShortcut "${MENU_FOLDER}\Zálohování dat.lnk" "$INSTDIR\zalohy.exe" "" "$INSTDIR\zalohy.exe" 0
  CreateShortcut "${MENU_FOLDER}\Návod CTIMNE.txt.lnk" "$INSTDIR\CTIMNE.txt"
  CreateShortcut "${MENU_FOLDER}\Odinstalovat.lnk" "$INSTDIR\uninstall.exe"
  ; The night's page; until a night has written it, a page that says so.
  CreateDirectory "$DataDir\Zalohy"
  ${IfNot} ${FileExists} "$DataDir\${NIGHT_PAGE}"
    File "/oname=$DataDir\${NIGHT_PAGE}" "prehled-zatim.html"
  ${EndIf}
  CreateShortcut "${MENU_FOLDER}\Přehled záloh.lnk" "$DataDir\${NIGHT_PAGE}"

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
  ReadRegStr $0 HKCU "${SETTINGS_KEY}" "NightTask"
  ${If} $0 != ""
    nsExec::ExecToStack '"$SYSDIR\schtasks.exe" /Delete /F /TN "$0"'
    Pop $1
    Pop $1
  ${EndIf}
  Delete "$INSTDIR\${NIGHT_JOB}"
  Delete "$INSTDIR\${NIGHT_TASK_XML}"
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
  Delete "${MENU_FOLDER}\Přehled záloh.lnk"
  RMDir "${MENU_FOLDER}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd
