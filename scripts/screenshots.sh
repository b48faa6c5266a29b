#!/usr/bin/env bash
# Screenshots of the installer's windows for the README: the welcome screen,
# the options dialog with components, the license window, the progress and
# the completion screen, at 96 and 144 dpi, in the light and the dark theme.
# They go to docs/screenshots/<window>-<dpi>-<theme>.png.
#
# The showcase product of examples/showcase is built and installed in a copy
# of the build's Wine prefix, so that the dpi and theme settings reach no
# other run; Wine's dpi is HKCU\Control Panel\Desktop\LogPixels, the theme the
# AppsUseLightTheme value Windows itself uses.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(bash "$root/scripts/configure.sh")"
cmake --build "$build" -j2 --target Setup Uninstall ekui host_tools wineprefix >&2
work="$build/shots"
out="$root/docs/screenshots"
rm -rf "$work"
mkdir -p "$work" "$out"
echo "Copying the Wine prefix" >&2
cp -a "$build/wineprefix" "$work/prefix"

winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }

# The showcase, with an installation that lasts long enough to be seen.
cp -r "$root/examples/showcase" "$work/product"
ekui_win="$(winpath "$build/bin/ekui.exe")"
printf '\r\n[Commands]\r\n0=%s*?sleep - 4000*?HIDE*?AFTER INSTALLATION*?YES*?*?NO\r\n' "$ekui_win" \
  >> "$work/product/config/eksetup.ini"
"$build/host/ekbuild" --engine "$build/bin/Setup.exe" --uninstaller "$build/bin/Uninstall.exe" \
  --product "$work/product" --out "$work/showcase-setup.exe" >&2

export WINEPREFIX="$work/prefix" WINEDEBUG=-all
export EK_PKG="$work/showcase-setup.exe" EK_PKG_WIN="$(winpath "$work/showcase-setup.exe")"
export EK_UI="$build/bin/ekui.exe" EK_OUT="$out" EK_OUT_WIN="$(winpath "$out")"
xvfb-run -a -s "-screen 0 1600x1200x24" bash -c '
  set -euo pipefail
  ui() { local cmd="$1"; shift; wine "$EK_UI" "$cmd" "$EK_PKG_WIN" "$@"; }
  shot() { ui shot "$1" "$EK_OUT_WIN\\$2.png" >/dev/null; echo "  $2.png" >&2; }
  wineserver -k 2>/dev/null || true
  wineserver -p
  wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
  trap "wineserver -k 2>/dev/null || true" EXIT
  for dpi in 96 144; do
    for theme in light dark; do
      light=1; [ "$theme" = dark ] && light=0
      wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
      wine reg add "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize" \
        /v AppsUseLightTheme /t REG_DWORD /d "$light" /f >/dev/null 2>&1
      echo "$dpi dpi, $theme:" >&2
      # Every program reads the dpi when it starts.
      wine "$EK_PKG" >/dev/null 2>&1 &
      setup=$!
      ui wait-form TFormMain 60000 >/dev/null
      ui wait TFormMain BInstall enabled 1 60000 >/dev/null
      shot TFormMain "welcome-$dpi-$theme"
      ui click TFormMain LOptions >/dev/null
      ui wait-form TFormOptions 30000 >/dev/null
      ui item TFormOptions CheckListBox1 1 select >/dev/null
      sleep 0.5
      shot TFormOptions "options-$dpi-$theme"
      ui close TFormOptions >/dev/null
      ui wait-gone TFormOptions 30000 >/dev/null
      ui click TFormMain LLicense >/dev/null
      ui wait-form TFormLicense 30000 >/dev/null
      shot TFormLicense "license-$dpi-$theme"
      ui close TFormLicense >/dev/null
      ui wait-gone TFormLicense 30000 >/dev/null
      ui click TFormMain BInstall >/dev/null
      ui wait TFormMain ProgressBar1 visible 1 60000 >/dev/null
      sleep 1
      shot TFormMain "progress-$dpi-$theme"
      ui wait TFormMain BInstall visible 1 60000 >/dev/null
      sleep 0.5
      shot TFormMain "completion-$dpi-$theme"
      ui close TFormMain >/dev/null
      wait "$setup" || true
      # The next round installs afresh.
      wine "C:\\Program Files\\Demo Notes Showcase\\Uninstall.exe" /S >/dev/null 2>&1 || true
    done
  done
'
rm -rf "$work"
echo "Screenshots in $out" >&2
