@echo off
rem Removes the registration of Kelvora.SMSClient and Kelvora.SMSServer that
rem register.cmd made for the Kelvora.dll beside this script: the keys
rem HKCR\CLSID\{class} and HKCR\<ProgID> of both classes, which are all that
rem registration writes. (The library has no unregistration entry point for
rem regsvr32 /u; the system's reg tool removes the keys.) A registration that
rem names another copy of Kelvora.dll, such as the one the installer made, is
rem left alone. Run it from an administrator's command prompt.
setlocal
set "dll=%~dp0Kelvora.dll"
set "status=0"
call :unregister {1BEE75CD-8489-46CA-ACCB-CD5C99BF2236} Kelvora.SMSClient
call :unregister {FC8E277B-9E37-4DF6-B72A-4541D8101E0E} Kelvora.SMSServer
exit /b %status%

rem Removes class %1 and its ProgID %2 when its server is this folder's DLL.
:unregister
set "server="
for /f "tokens=*" %%l in ('reg query "HKCR\CLSID\%~1\InprocServer32" /ve /reg:32 2^>nul ^| find "REG_SZ"') do set "server=%%l"
if not defined server (
  echo %2 is not registered
  exit /b 0
)
set "server=%server:*REG_SZ=%"
for /f "tokens=*" %%s in ("%server%") do set "server=%%s"
if /i not "%server%"=="%dll%" (
  echo unregister: %2 is registered for %server%, not for %dll%: left alone
  set "status=1"
  exit /b 0
)
reg delete "HKCR\CLSID\%~1" /f /reg:32 >nul 2>&1
reg delete "HKCR\%2" /f /reg:32 >nul 2>&1
reg query "HKCR\CLSID\%~1" /reg:32 >nul 2>&1
if not errorlevel 1 goto :not_removed
reg query "HKCR\%2" /reg:32 >nul 2>&1
if not errorlevel 1 goto :not_removed
echo %2 unregistered
exit /b 0

:not_removed
echo unregister: %2 could not be removed (removing needs an administrator's command prompt)
set "status=1"
exit /b 0
