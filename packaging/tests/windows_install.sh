#!/bin/bash
# The Windows packages as a user meets them, in a Wine prefix of their own:
#  1. msiexec /i /qn installs under Program Files\Kelvora, with a Start-menu
#     entry, and registers both classes exactly as the DLL registers itself,
#     with the installed path;
#  2. a COM client that is not ours (Wine's cscript running JScript's
#     ActiveXObject) creates both classes by ProgID, and the installed
#     kelvora-host reads a register through the class on a simulated modem;
#  3. the zip's unregister.cmd leaves the installer's registration alone;
#  4. a package of the next build replaces it, and so does that package made
#     again; the first package, now older, is refused with the installer's
#     message and leaves the newer one installed;
#  5. msiexec /x removes every file and every key that names Kelvora, its
#     classes or its installer (and the client can no longer create them);
#  6. the zip unpacked elsewhere: register.cmd registers that copy, the client
#     creates both classes, unregister.cmd removes every key again.
#   windows_install.sh MSI ZIP WITH_SIMULATOR_WINE SIMULATOR WORK_DIR MSI_FILES WIXL ANSWER_MESSAGE_BOX
# MSI_FILES: the folder the MSI was made from; WIXL: the installer's maker;
# ANSWER_MESSAGE_BOX: answer_message_box.exe.
set -u
if [ $# -ne 8 ]; then
  echo "usage: windows_install.sh MSI ZIP WITH_SIMULATOR_WINE SIMULATOR WORK_DIR MSI_FILES WIXL ANSWER_MESSAGE_BOX" >&2
  exit 2
fi
msi=$1 zip=$2 with_simulator=$3 simulator=$4 work=$5 msi_files=$6 wixl=$7 answer_message_box=$8

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
winpath() { echo "Z:$(tr / '\\' <<<"$1")"; }

# The Kelvoras that "Apps and features" lists, by their names.
installed_products() {
  win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s
  sed -n 's/^ *DisplayName *REG_SZ *\(Kelvora.*\)/\1/p' <<<"$out" | sort
}
installed_is() { local now; now=$(installed_products); [ "$now" = "$1" ] || { echo "installed: ${now:-nothing}"; return 1; }; }

start=$(date +%s)
rm -rf "$work"
mkdir -p "$WINEPREFIX"
# This prefix's server only, started and stopped as the tools do.
wine_ctl() { python3 "$(dirname "$0")/../../tools/harness/wine.py" "$1" "$WINEPREFIX"; }
wine_ctl start
trap 'wine_ctl stop' EXIT
# Windows are drawn by Wine's null graphics driver, so that a message box
# exists (to be read and answered); a server that began without a driver
# keeps none, so it begins again.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wine_ctl stop
wine_ctl server
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
win msiexec /i "$(winpath "$msi")" /qn
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
  timeout 120 "$with_simulator" "$simulator" 41 \
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

# 4. Over each other: the next build from the same files, made twice (each
# package has a product code of its own).
version=$(basename "$msi" | sed -n 's/^kelvora-\([0-9.]*\)-win32\.msi$/\1/p')
newer_version=${version%.*}.$((${version##*.} + 1))
for made in newer newer-again; do
  mkdir -p "$work/$made"
  cmake -DVERSION="$newer_version" -DFILES_DIR="$msi_files" -DMSI="$work/$made/kelvora.msi" -DWIXL="$wixl" \
    -P "$(dirname "$0")/../make_msi.cmake" || echo "cannot make the package of $newer_version"
done
check "installed: Kelvora $version" installed_is "Kelvora $version"
win msiexec /i "$(winpath "$work/newer/kelvora.msi")" /qn
check "Kelvora $newer_version over $version: msiexec /i ends with 0" ends_ok $?
check "... and replaces it" installed_is "Kelvora $newer_version"
win msiexec /i "$(winpath "$work/newer-again/kelvora.msi")" /qn
check "the same build made again: msiexec /i ends with 0" ends_ok $?
check "... and replaces it" installed_is "Kelvora $newer_version"
# The installer's message box (Wine titles it "Install Failed"), read and
# answered as a user would.
refused_with_message() {
  timeout 120 wine msiexec /i "$(winpath "$msi")" /qb >"$work/refused" 2>&1 &
  local installer=$! answered rc
  win "$answer_message_box" "Install Failed" 30
  answered=$?
  wait $installer
  rc=$?
  local expected="A newer Kelvora is already installed: this package, Kelvora $version, does not replace it."
  expected+=" To go back to this version, uninstall the newer one first."
  # 1603 (the install failed), as far as a Unix exit status holds it.
  [ $answered -eq 0 ] && [ "$out" = "$expected" ] && [ $rc -eq $((1603 % 256)) ] ||
    { echo "message box: ${out:-none} (answered: $answered)"; echo "msiexec exit $rc"; return 1; }
}
check "Kelvora $version over $newer_version: refused with the installer's message" refused_with_message
check "... and $newer_version stays installed" installed_is "Kelvora $newer_version"
check "... and registered, with the installed path" registered_for "$installed\\Kelvora.dll"

# 5. Uninstall.
check "while installed, the registry names Kelvora" has_mentions
check "while installed, the installer keeps a copy of the package" test "$(cached_packages)" != "$cache_before"
win msiexec /x "$(winpath "$work/newer-again/kelvora.msi")" /qn
check "msiexec /x ends with 0" ends_ok $?
check "no file of Kelvora left (Program Files, Start menu, the installer's cache)" no_files
check "no key or value that names Kelvora, its classes or its installer" no_mentions
check "cscript can no longer create the classes" creates_none

# 6. The zip unpacked elsewhere, with its scripts.
win cmd /c "$copy\\register.cmd"
check "register.cmd ends with 0" ends_ok $?
check "the registry holds every key of both classes, with the unpacked path" registered_for "$copy\\Kelvora.dll"
check "cscript creates both classes of the unpacked copy" creates_both
win cmd /c "$copy\\unregister.cmd"
check "unregister.cmd ends with 0" ends_ok $?
check "no key or value that names Kelvora or its classes" no_mentions
check "cscript can no longer create the classes" creates_none

wine_ctl stop
echo "$failures failure(s), $(($(date +%s) - start)) s"
[ $failures -eq 0 ] && rm -rf "$work"
[ $failures -eq 0 ]
