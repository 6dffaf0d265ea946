#!/usr/bin/env bash
# Builds the Debian package from build/, installs it, checks the installed
# copy (type list and a report of a small folder) and removes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

desktop-file-validate data/pelandor.desktop
appstreamcli validate --no-net --explain data/org.pelandor.Pelandor.metainfo.xml >/dev/null

(cd build && cpack -G DEB >/dev/null)
deb=$(ls -t build/pelandor_*.deb | head -n 1)
echo "package: $deb"
dpkg-deb --field "$deb" Depends

$SUDO dpkg -i "$deb" >/dev/null


folder=$(mktemp -d)
trap '$SUDO dpkg -P pelandor >/dev/null; rm -rf "$folder"' EXIT
cp docs/screenshot.png "$folder"/shot.png

types=$(env -u DISPLAY /usr/bin/pelandor --list-types)
printf '%s\n' "$types" | grep -q $'\tpng.spi$' || { echo "installed copy lists no png.spi"; exit 1; }
report=$(env -u DISPLAY /usr/bin/pelandor --report "$folder")
printf "%s\n" "$report" | grep -q $'^shot.png\t' || { echo "installed copy does not report its sample"; exit 1; }
echo "installed copy: $(printf '%s\n' "$types" | wc -l) type entries, $(printf '%s\n' "$report" | wc -l) report lines"
