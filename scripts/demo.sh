#!/usr/bin/env bash
# Builds the engine and the builder, packs the demo product of examples/demo,
# installs it silently under Wine and shows what it installed.
set -euo pipefail
# Wine names Unix files in the locale's character set: without UTF-8,
# installed files with non-ASCII names cannot be created.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(bash "$root/scripts/configure.sh")"
cmake --build "$build" -j"$(nproc)" --target Setup Uninstall host_tools wineprefix
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
out="$build/demo/DemoNotes-setup.exe"
mkdir -p "$build/demo"
"$build/host/ekbuild" --engine "$build/bin/Setup.exe" --uninstaller "$build/bin/Uninstall.exe" \
  --product "$root/examples/demo" --out "$out"
echo "Built $out ($(stat -c %s "$out") bytes)"
echo "Installing silently under Wine: $out /S /L"
set +e
xvfb-run -a wine "$out" /S /L
code=$?
set -e
wineserver -w
echo "Exit code: $code"
target="$WINEPREFIX/drive_c/Program Files/Demo Notes"
echo "Installed files under C:\\Program Files\\Demo Notes:"
(cd "$target" && find . -mindepth 1 | sort | sed 's|^\./|  |')
echo "Uninstall.ini:"
sed '1s/^\xEF\xBB\xBF//; s/^/  /' "$target/Uninstall.ini"
echo "Start-menu and desktop shortcuts:"
find "$WINEPREFIX/drive_c" -name "Demo Notes.lnk" -printf '  %P\n' | sort
echo "Registry values written:"
wine reg query 'HKLM\Software\Example Ltd\Demo Notes' 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/  /'
echo "Listed by Windows as installed:"
wine uninstaller --list 2>/dev/null | tr -d '\r' | grep -i "demo notes" | sed 's/^/  /'
log="$WINEPREFIX/drive_c/users/$(whoami)/Temp/EKSETUPLOG.TXT"
if [ -f "$log" ]; then echo "Setup log:"; sed '1s/^\xEF\xBB\xBF//; s/^/  /' "$log"; fi
exit "$code"
