@echo off
rem The Start menu's "Eingabeaufforderung fuer zavctl": a prompt in which
rem zavctl starts without its path. The installer leaves the system's PATH
rem alone, so this prompt puts the program's folder in front of its own
rem PATH; it starts in the user's profile folder, where the user may write
rem (the program's folder is not writable for users).
rem Windows reads this file in the console's code page: ASCII only.
title zavctl
set "PATH=%~dp0;%PATH%"
cd /d "%USERPROFILE%"
echo zavctl - die Kommandozeile der ZAV-Konfiguration.
echo "zavctl --help" zeigt alle Befehle, "exit" schliesst das Fenster.
echo.
cmd /k
