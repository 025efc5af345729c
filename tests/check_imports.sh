#!/bin/sh
# Fails when a Win32 product imports anything but system DLLs: the mingw
# runtime (libgcc_s, libstdc++, libwinpthread) must be linked in statically.
#   check_imports.sh OBJDUMP FILE...
objdump=$1; shift
status=0
for f in "$@"; do
  dlls=$("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p')
  [ -n "$dlls" ] || { echo "$f: no imports found"; status=1; continue; }
  echo "$f: $(echo $dlls)"
  if echo "$dlls" | grep -qiE '^(libgcc|libstdc|libwinpthread|libssp|libatomic)'; then
    echo "$f imports a mingw runtime DLL" >&2
    status=1
  fi
done
exit $status
