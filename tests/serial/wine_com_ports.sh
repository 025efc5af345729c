#!/bin/sh
# Runs the Wine COM-port tests over two pseudo-terminals joined by socat and
# linked into the Wine prefix as COM7 and COM12, with COM9 a link to nothing.
# usage: wine_com_ports.sh <wine-run.sh> <test exe> <wine prefix>
set -u
RUN=$1
EXE=$2
PREFIX=$3
DOS=$PREFIX/dosdevices
export WINEPREFIX="$PREFIX" WINEARCH=win32 WINEDEBUG=-all

# The Wine server and the prefix's own services are started detached, with
# their output discarded: started by a test instead, they would inherit its
# output pipes and CTest would wait for them (tools/harness/wine.py).
WINE_CTL="$(dirname "$0")/../../tools/harness/wine.py"
start_wine() {
  python3 "$WINE_CTL" start "$PREFIX"
}

command -v socat >/dev/null 2>&1 || { echo "socat is missing" >&2; exit 1; }
start_wine
[ -d "$DOS" ] || { echo "no dosdevices in $PREFIX" >&2; exit 1; }

rm -f "$DOS/com7" "$DOS/com12" "$DOS/com9"
ln -s /nonexistent/kelvora-tty "$DOS/com9"
socat pty,raw,echo=0,link="$DOS/com7" pty,raw,echo=0,link="$DOS/com12" </dev/null >/dev/null 2>&1 &
SOCAT=$!
i=0
while [ ! -e "$DOS/com7" ] || [ ! -e "$DOS/com12" ]; do
  i=$((i + 1))
  if [ $i -gt 100 ]; then echo "socat made no ptys" >&2; kill $SOCAT 2>/dev/null; exit 1; fi
  sleep 0.1
done

timeout 240 "$RUN" "$EXE"
RC=$?

# A Wine server holding a pty floods its error output when the other end
# closes: stop it before the ptys go, then start it again for the tests that
# follow.
python3 "$WINE_CTL" stop "$PREFIX"
kill $SOCAT 2>/dev/null
wait $SOCAT 2>/dev/null
rm -f "$DOS/com7" "$DOS/com12" "$DOS/com9"
start_wine
exit $RC
