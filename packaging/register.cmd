@echo off
rem Registers the classes Kelvora.SMSClient and Kelvora.SMSServer for the
rem Kelvora.dll beside this script, with the system's own regsvr32 (the 32-bit
rem one on 64-bit Windows). Run it from an administrator's command prompt.
rem The library answers success even when it could not write the registry, so
rem the script reads the registration back before it says so.
setlocal
set "dll=%~dp0Kelvora.dll"
set "regsvr32=%SystemRoot%\System32\regsvr32.exe"
if exist "%SystemRoot%\SysWOW64\regsvr32.exe" set "regsvr32=%SystemRoot%\SysWOW64\regsvr32.exe"
if not exist "%dll%" (
  echo register: %dll% not found
  exit /b 1
)
"%regsvr32%" /s "%dll%"
if errorlevel 1 (
  echo register: regsvr32 could not register %dll%
  exit /b 1
)
call :registered_server {1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}
if errorlevel 1 goto :not_written
call :registered_server {FC8E277B-9E37-4DF6-B72A-4541D8101E0E}
if errorlevel 1 goto :not_written
echo Kelvora.SMSClient and Kelvora.SMSServer registered: %dll%
exit /b 0

:not_written
echo register: the classes are not registered for %dll%
echo (registering needs an administrator's command prompt)
exit /b 1

rem Succeeds when the class %1 has this folder's Kelvora.dll as its server.
:registered_server
set "server="
for /f "tokens=*" %%l in ('reg query "HKCR\CLSID\%~1\InprocServer32" /ve /reg:32 2^>nul ^| find "REG_SZ"') do set "server=%%l"
if not defined server exit /b 1
set "server=%server:*REG_SZ=%"
for /f "tokens=*" %%s in ("%server%") do set "server=%%s"
if /i "%server%"=="%dll%" exit /b 0
exit /b 1
