cd /d "%~dp0..\Assets"
xcopy /s /y Kuju\*.* "..\Backup\Kuju\"
if not exist a.txt ren b*.txt c?.old
del "C:\x\..\..\y"
:label
exit /b 0
