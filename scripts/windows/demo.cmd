@echo off
rem Demo kit: starts the scale emulator on 127.0.0.1 with demo data (in the
rem folder demo\vahy) and the program in the folder demo, whose Skladex.ini
rem names 127.0.0.1. The bundled TWSWTCP.DLL is a stand-in that talks only to
rem the emulator. The emulator stops when the program ends.
setlocal
cd /d "%~dp0"
if not exist demo mkdir demo
rem Settings and the list of scales are written only when missing.
if not exist demo\Skladex.ini (
  >demo\Skladex.ini echo [SOUBOR_ZALOHY]
  >>demo\Skladex.ini echo IP_ADDRESS=127.0.0.1
)
if not exist demo\seznam.lst >demo\seznam.lst echo 127.0.0.1 emulovana vaha
rem The stand-in library then dials nothing outside 127.0.0.0/8.
set TWSWTCP_LOOPBACK_ONLY=1
echo Spoustim emulator vahy na adrese 127.0.0.1 (okno "Emulator vahy")...
start "Emulator vahy" /min "%~dp0scale-emulator.exe" --data "%~dp0demo\vahy" --listen 127.0.0.1 --seed
cd /d "%~dp0demo"
"%~dp0zalohy.exe"
taskkill /im scale-emulator.exe /f >nul 2>&1
endlocal
