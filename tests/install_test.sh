#!/bin/sh
# Installs the build into a fresh prefix and runs the installed program from
# another folder with an empty environment: it must find its runtime library on
# its own, and the test double must not have been installed.
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cd /
out=$(printf 'show server\nstop\n' | env -i "$prefix/bin/vexmor" InstalledServer)
case $out in
  *"COMMAND SENT: show server"*"Server name:  InstalledServer"*"** Pellomar terminated **"*) ;;
  *) echo "unexpected session: $out"; exit 1 ;;
esac
test -f "$prefix/share/man/man1/vexmor.1"
if find "$prefix" -path '*double*' | grep -q .; then
  echo "the test double was installed"; exit 1
fi
echo "installed vexmor runs"
