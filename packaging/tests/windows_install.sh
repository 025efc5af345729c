#!/bin/bash
# The Windows packages as a user meets them, in a Wine prefix of their own:
#  1. msiexec /i /qn installs under Program Files\Kelvora, with a Start-menu
#     entry, and registers both classes exactly as the DLL registers itself,
#     with the installed path;
#  2. a COM client that is not ours (Wine's cscript running JScript's
#     ActiveXObject) creates both classes by ProgID, and the installed
#     kelvora-host reads a register through the class on a simulated modem;
#  3. the zip's unregister.cmd leaves the installer's registration alone;
#  4. msiexec /x removes every file and every key that names Kelvora, its
#     classes or its installer (and the client can no longer create them);
#  5. the zip unpacked elsewhere: register.cmd registers that copy, the client
#     creates both classes, unregister.cmd removes every key again.
#   windows_install.sh MSI ZIP WITH_SIMULATOR_WINE NATIVE_BUILD_DIR WORK_DIR
set -u
if [ $# -ne 5 ]; then
  echo "usage: windows_install.sh MSI ZIP WITH_SIMULATOR_WINE NATIVE_BUILD_DIR WORK_DIR" >&2
  exit 2
fi
msi=$1 zip=$2 with_simulator=$3 native=$4 work=$5

export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all
# No Mono or Gecko installers; no Linux desktop entries for the Start menu.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
drive_c=$WINEPREFIX/drive_c
installed='C:\Program Files\Kelvora'
unpacked='C:\Tools'

failures=0
check() {  # description, then the test command
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# Runs a Windows program; its output, with Unix line ends, in $out. Output
# goes through a file: services Wine starts would keep a pipe open.
out=""
win() {
  local file=$work/output rc
  timeout 120 wine "$@" >"$file" 2>&1
  rc=$?
  out=$(tr -d '\r' <"$file")
  return $rc
}

# What the registry holds under the keys of both classes, one line a key or
# value, and what registration writes for a server path.
registration() {
  local key all=""
  for key in 'CLSID\{1BEE75CD-8489-46CA-ACCB-CD5C99BF2236}' Kelvora.SMSClient \
             'CLSID\{FC8E277B-9E37-4DF6-B72A-4541D8101E0E}' Kelvora.SMSServer; do
    win reg query "HKCR\\$key" /s
    all+="$out"$'\n'
  done
  sed -e 's/  */ /g' -e 's/^ //' -e '/^$/d' <<<"$all"
}
expected_registration() {  # server path
  local class progid
  for class in 1BEE75CD-8489-46CA-ACCB-CD5C99BF2236:Kelvora.SMSClient FC8E277B-9E37-4DF6-B72A-4541D8101E0E:Kelvora.SMSServer; do
    progid=${class#*:} class=${class%%:*}
    printf '%s\n' "HKEY_CLASSES_ROOT\\CLSID\\{$class}" "(Default) REG_SZ $progid" \
      "HKEY_CLASSES_ROOT\\CLSID\\{$class}\\InprocServer32" "(Default) REG_SZ $1" "ThreadingModel REG_SZ Apartment" \
      "HKEY_CLASSES_ROOT\\CLSID\\{$class}\\ProgID" "(Default) REG_SZ $progid" \
      "HKEY_CLASSES_ROOT\\$progid" "(Default) REG_SZ $progid" \
      "HKEY_CLASSES_ROOT\\$progid\\CLSID" "(Default) REG_SZ {$class}"
  done
}
registered_for() {  # server path
  local now
  now=$(registration)
  [ "$now" = "$(expected_registration "$1")" ] || { diff <(expected_registration "$1") <(echo "$now"); return 1; }
}

# Every line of the machine's and the user's registry that names Kelvora, a
# class identifier, or the installer's upgrade code (packed, as the
# installer keeps it).
mentions() {
  win reg export HKLM 'C:\test\hklm.reg' /y && win reg export HKCU 'C:\test\hkcu.reg' /y || { echo "reg export failed"; return; }
  cat "$drive_c/test/hklm.reg" "$drive_c/test/hkcu.reg" | iconv -f UTF-16LE -t UTF-8 | tr -d '\r' |
    grep -i -E 'kelvora|1BEE75CD|FC8E277B|E1C5BF32D66E4F1498F911F9AE065D9F'
}
no_mentions() { local m; m=$(mentions); [ -z "$m" ] || { echo "$m" | head -20; return 1; }; }
has_mentions() { [ -n "$(mentions)" ]; }

# Files whose name says Kelvora, outside the unpacked zip; and the
# installer's cache of packages (their names are random).
kelvora_files() { find "$drive_c" -path "$drive_c/Tools" -prune -o -iname '*kelvora*' -print; }
cached_packages() { find "$drive_c/windows/Installer" -type f 2>/dev/null | sort; }
no_files() {
  local f
  f=$(kelvora_files; diff <(echo "$cache_before") <(cached_packages) | grep '^>')
  [ -z "$f" ] || { echo "$f"; return 1; }
}

# The foreign client: JScript's ActiveXObject for each ProgID.
creates_both() {
  win cscript //nologo 'C:\test\create.js'
  local rc=$?
  echo "$out"
  [ $rc -eq 0 ] && [ "$out" = $'created Kelvora.SMSClient (object)\ncreated Kelvora.SMSServer (object)' ]
}
creates_none() {
  win cscript //nologo 'C:\test\create.js'
  echo "$out"
  [ "$(grep -c '^not created' <<<"$out")" -eq 2 ]
}

ends_ok() { [ "$1" -eq 0 ] || { echo "$out"; return 1; }; }

start=$(date +%s)
rm -rf "$work"
mkdir -p "$WINEPREFIX"
setsid wineserver -p </dev/null >/dev/null 2>&1 &
trap 'wineserver -k >/dev/null 2>&1' EXIT  # this prefix's server only
wineboot -i </dev/null >/dev/null 2>&1
mkdir -p "$drive_c/test"
cat >"$drive_c/test/create.js" <<'JS'
var names = ["Kelvora.SMSClient", "Kelvora.SMSServer"], failed = 0;
for (var i = 0; i < names.length; i++) {
  try {
    var station = new ActiveXObject(names[i]);
    WScript.Echo("created " + names[i] + " (" + typeof station + ")");
  } catch (e) {
    WScript.Echo("not created " + names[i] + ": 0x" + (e.number >>> 0).toString(16));
    failed = 1;
  }
}
WScript.Quit(failed);
JS
echo "prefix ready after $(($(date +%s) - start)) s"

# 1. Install.
cache_before=$(cached_packages)
win msiexec /i "Z:$(tr / '\\' <<<"$msi")" /qn
check "msiexec /i ends with 0" ends_ok $?
check "the files under Program Files\\Kelvora" \
  test "$(LC_ALL=C ls "$drive_c/Program Files/Kelvora" | tr '\n' ' ')" = "CHANGELOG.txt Kelvora.dll README.txt kelvora-host.exe "
windows_text() { [ "$(grep -c $'\r$' "$1")" -eq "$(wc -l <"$1")" ] && [ "$(head -c3 "$1" | od -An -tx1 | tr -d ' ')" = efbbbf ]; }
documents_as_windows_text() {
  windows_text "$drive_c/Program Files/Kelvora/README.txt" && windows_text "$drive_c/Program Files/Kelvora/CHANGELOG.txt"
}
check "README.txt and CHANGELOG.txt as Windows text (CR LF, UTF-8 mark)" documents_as_windows_text
check "a Start-menu entry for the console" test -n "$(find "$drive_c" -name 'Kelvora console.lnk')"
check "the registry holds every key of both classes, with the installed path" registered_for "$installed\\Kelvora.dll"

# 2. A client of COM that is not ours, and our own console through the class.
check "cscript creates both classes by ProgID" creates_both
reads_through_class() {
  timeout 120 "$with_simulator" "$native" 41 \
    wine "$installed\\kelvora-host.exe" -v remote --device 5 --port COM41 write M120=7 read M120 >"$work/output" 2>&1
  local rc=$?
  out=$(tr -d '\r' <"$work/output")
  [ $rc -eq 0 ] && grep -q 'remote station from COM class Kelvora.SMSServer.*M120 = 7' <<<"$(echo $out)" \
    || { echo "$out"; echo "exit $rc"; return 1; }
}
check "the installed kelvora-host reads a register through the class" reads_through_class

# 3. The zip's unregister.cmd leaves another copy's registration alone.
mkdir -p "$drive_c/Tools"
cmake -E chdir "$drive_c/Tools" cmake -E tar xf "$zip" || echo "cannot unpack $zip"
copy="$unpacked\\$(basename "$zip" .zip)"
win cmd /c "$copy\\unregister.cmd"
check "the zip's unregister.cmd refuses the installer's registration" test $? -ne 0
check "... and leaves it whole" registered_for "$installed\\Kelvora.dll"

# 4. Uninstall.
check "while installed, the registry names Kelvora" has_mentions
check "while installed, the installer keeps a copy of the package" test "$(cached_packages)" != "$cache_before"
win msiexec /x "Z:$(tr / '\\' <<<"$msi")" /qn
check "msiexec /x ends with 0" ends_ok $?
check "no file of Kelvora left (Program Files, Start menu, the installer's cache)" no_files
check "no key or value that names Kelvora, its classes or its installer" no_mentions
check "cscript can no longer create the classes" creates_none

# 5. The zip unpacked elsewhere, with its scripts.
win cmd /c "$copy\\register.cmd"
check "register.cmd ends with 0" ends_ok $?
check "the registry holds every key of both classes, with the unpacked path" registered_for "$copy\\Kelvora.dll"
check "cscript creates both classes of the unpacked copy" creates_both
win cmd /c "$copy\\unregister.cmd"
check "unregister.cmd ends with 0" ends_ok $?
check "no key or value that names Kelvora or its classes" no_mentions
check "cscript can no longer create the classes" creates_none

wineserver -k >/dev/null 2>&1
echo "$failures failure(s), $(($(date +%s) - start)) s"
[ $failures -eq 0 ] && rm -rf "$work"
[ $failures -eq 0 ]
