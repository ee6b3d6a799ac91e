#!/bin/bash
# Shows the main job end to end, as a user would see it: builds the Windows
# programs if needed, stages a build folder with the setup program and the
# product's files, lays out the distribution, installs the product from it
# under Wine (in a fresh prefix of its own under build/demo, never ~/.wine)
# and shows what the installation left on the system: the installed files,
# the product's Add/Remove Programs key with its uninstall lists, the
# Start-menu folder and the control's COM registration.
#
# The distribution is laid out with the installer's own archive component
# (testing/demo/pack_files.cpp): files.1 holds the product's files under
# the member names and file identifiers of the install script, and the
# setup program stands beside it. A small program (testing/demo/demo_user)
# plays the user: it goes through the wizard taking every default and saves
# a screenshot of each page under build/demo/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

# The product is the i686 build; where this machine runs no 32-bit program,
# the demo shows the same programs built for x86_64.
. tools/i686-probe.sh
blocked=$(i686_blocked_reason)
if [ -z "$blocked" ]; then
  build=windows
  wine=wine
  echo "Showing the product: the i686 build (build/windows)."
else
  build=windows64
  wine=/usr/lib/wine/wine64
  export WINELOADER=$wine
  echo "Showing the x86_64 build of the product (build/windows64): the i686 product can't run here, $blocked."
fi

root="$PWD"
bin="$root/build/$build/bin"
demo="$root/build/demo"
stage="$demo/build-folder"
dist="$demo/distribution"

export WINEPREFIX="$demo/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export LANG=C.UTF-8
export LC_ALL=C.UTF-8
export TZ=UTC
export WINEDLLOVERRIDES="winemenubuilder.exe=d"

step() { printf '\n=== %s\n' "$*"; }

stop_wineserver() { wineserver -k 2>/dev/null || true; }
trap stop_wineserver EXIT

# Runs a command under Wine with its Windows-side output made readable.
run() { "$wine" "$@" 2>/dev/null | tr -d '\r'; }

step "Build the Windows programs"
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-3}"
[ -f "build/$build/build.ninja" ] || cmake --preset "$build" >/dev/null
cmake --build --preset "$build" --target install_program dmwclient polyprobe pagerwire tipcaster \
  demo_updater_standin demo_pack_files demo_user | tail -n 1

step "Stage the build folder $stage"
rm -rf "$demo"
mkdir -p "$stage/Bin" "$stage/Redist" "$dist"
cp "$bin/install.exe" "$stage/"
for deliverable in dmwclient.dll polyprobe.dll pagerwire.dll tipcaster.ocx; do
  cp "$bin/$deliverable" "$stage/Bin/"
done
# The system updaters are third-party programs: stand-ins that do nothing.
cp "$bin/demo_updater_standin.exe" "$stage/Redist/ShFolder.Exe"
cp "$bin/demo_updater_standin.exe" "$stage/Redist/50ComUpd.Exe"
(cd "$stage" && find . -type f | sort | sed 's|^\./|  |')

step "Fresh Wine prefix $WINEPREFIX"
"$wine" wineboot -i >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
wineserver -p

step "Lay out the distribution $dist"
# Member names and file identifiers as the install script gives them.
(cd "$stage" && run "$bin/demo_pack_files.exe" "$("$wine" winepath -w "$dist/files.1")" \
  0='Redist\ShFolder.Exe' 1='Redist\50ComUpd.Exe' \
  2='Bin\dmwclient.dll' 3='Bin\polyprobe.dll' 4='Bin\pagerwire.dll' 5='Bin\tipcaster.ocx')
cp "$stage/install.exe" "$dist/"
(cd "$dist" && ls -l | tail -n +2 | awk '{printf "  %-12s %9d bytes\n", $9, $5}')

# The setup program is started as its loader starts it: with the folder
# that holds the distribution.
loader_dir=$("$wine" winepath -w "$dist")
step "Install from the distribution: install.exe -s$loader_dir"
status=0
shots="$demo/screenshots"
(cd "$dist" && timeout 180 "$wine" "$bin/demo_user.exe" "--screenshots=$("$wine" winepath -w "$shots")" \
  "$("$wine" winepath -w "$dist/install.exe")" "-s$loader_dir" 2>/dev/null | tr -d '\r') || status=$?
echo "  install.exe ended with exit code $status"
echo "  screenshots of the wizard's pages (BMP): $shots"

program_files=$(run cmd /c echo '%ProgramFiles%')
product=$("$wine" winepath -u "$program_files\\ZUV" 2>/dev/null)
step "Installed files in $program_files\\ZUV"
if [ -d "$product" ]; then
  (cd "$product" && find . -type f | sort | while read -r file; do
    printf '  %-24s %9d bytes\n' "${file#./}" "$(stat -c %s "$file")"
  done)
else
  echo "  (the folder was not made)"
fi

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Network Monitor'
step "Add/Remove Programs key and its uninstall lists: reg query \"$key\" /s"
run reg query "$key" /s | sed '/^$/d; s/^/  /'

step "Start-menu folder \"Network Monitor\""
find "$WINEPREFIX/drive_c" -ipath '*start menu*' -iname 'Network Monitor' -print | while read -r folder; do
  echo "  $(run winepath -w "$folder" | tail -n 1)"
  find "$folder" -mindepth 1 | sort | sed "s|^$folder/|    |"
done

clsid='{550BADC4-E6A3-11D0-A389-0000E81F4743}'
step "The control's registration: reg query HKCR\\CLSID\\$clsid /s"
run reg query "HKCR\\CLSID\\$clsid" /s | sed '/^$/d; s/^/  /'
run reg query 'HKCR\TSHELP.TSHelpButtonCtrl.1' /s | sed '/^$/d; s/^/  /'

exit "$status"
