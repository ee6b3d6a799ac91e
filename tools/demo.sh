#!/bin/bash
# Shows the main job end to end, as its vendor and a user meet it: builds
# the Windows programs if needed, stages the vendor's build folder (the
# setup program, BUILD.INF and the product's files), builds the
# distribution with install.exe -b, lists what the build made, installs
# the product from setup.exe under Wine (in a fresh prefix of its own under
# build/demo, never ~/.wine) and shows what the installation left on the
# system: the installed files, the Start-menu folder with its shortcuts as
# the shell reads them back, the registry keys that tell the product where
# its parts are, the product's Add/Remove Programs values and uninstall
# lists, and the control's COM registration.
#
# The build finds the loader program in the installer library, the folder
# of the development environment's library search path (here the registry
# value HKLM\Software\TORV\Q32V52 SearchPath) that holds Q32V52.TXT. A
# small program (testing/demo/demo_user) plays the vendor and the user: it
# starts the program, presses OK on a message box and goes through the
# wizard taking every default, saving a screenshot of each page under
# build/demo/screenshots; another (testing/demo/demo_shortcuts) reads the
# shortcuts back through the shell.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
# Wine's programs run without address-space randomisation where the system
# allows it, as in the tests (cmake/wine-run.in says why).
if [ -z "${NETMON_FIXED_ADDRESSES:-}" ] && setarch "$(uname -m)" -R true 2>/dev/null; then
  NETMON_FIXED_ADDRESSES=1 exec setarch "$(uname -m)" -R "$0" "$@"
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
library="$demo/installer-library"
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
# The Windows name of a path.
windows_path() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# The files below a folder with their sizes.
list_files() {
  (cd "$1" && find . -type f | sort | while read -r file; do
    printf '  %-32s %9d bytes\n' "${file#./}" "$(stat -c %s "$file")"
  done)
}

step "Build the Windows programs"
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-3}"
[ -f "build/$build/build.ninja" ] || cmake --preset "$build" >/dev/null
cmake --build --preset "$build" --target install_program install_loader dmwclient polyprobe pagerwire tipcaster \
  product_files demo_updater_standin demo_uninstall_standin demo_user demo_shortcuts keep_desktop | tail -n 1

step "Fresh Wine prefix $WINEPREFIX"
rm -rf "$demo"
mkdir -p "$demo"
"$wine" wineboot -i >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w
wineserver -p
# Wine's desktop stays up between the programs (testing/wine_desktop).
"$wine" "$bin/keep_desktop.exe" >/dev/null 2>&1 &

step "Stage the vendor's build folder $stage"
mkdir -p "$stage/Bin" "$stage/Redist"
cp "$bin/install.exe" "$stage/"
for deliverable in dmwclient.dll polyprobe.dll pagerwire.dll tipcaster.ocx; do
  cp "$bin/$deliverable" "$stage/Bin/"
done
# The system updaters and the uninstall program are third-party programs:
# stand-ins that change nothing.
cp "$bin/demo_updater_standin.exe" "$stage/Redist/ShFolder.Exe"
cp "$bin/demo_updater_standin.exe" "$stage/Redist/50ComUpd.Exe"
cp "$bin/demo_uninstall_standin.exe" "$stage/Redist/uninstall.exe"
# The files the product ships beside them: settings, description file,
# read-me and help (Config\, Data\, Docs\, Help\), as the build staged them.
cp -r "$root/build/$build/product-files/." "$stage/"
# BUILD.INF: its first line is the build directory.
printf '%s\r\n' "$(windows_path "$dist")" >"$stage/BUILD.INF"
list_files "$stage"
echo "  BUILD.INF: $(head -n 1 "$stage/BUILD.INF" | tr -d '\r')"

step "The installer library $library, in the library search path"
mkdir -p "$library"
cp "$bin/QuendricLoadProgram.exe" "$bin/Q32V52.TXT" "$library/"
list_files "$library"
run reg add 'HKLM\Software\TORV\Q32V52' /v SearchPath /d "$(windows_path "$library")" /f | sed 's/^/  /'

step "Build the distribution: install.exe -b"
status=0
(cd "$stage" && timeout 180 "$wine" "$bin/demo_user.exe" "$(windows_path "$stage/install.exe")" -b \
  2>/dev/null | tr -d '\r') || status=$?
echo "  install.exe -b ended with exit code $status"
[ "$status" = 0 ] || exit "$status"
list_files "$dist"

step "Install as a user: setup.exe"
temp=$("$wine" winepath -u "$(run cmd /c echo '%TEMP%')" 2>/dev/null)
shots="$demo/screenshots"
(cd "$demo" && timeout 180 "$wine" "$bin/demo_user.exe" "--screenshots=$(windows_path "$shots")" \
  "$(windows_path "$dist/setup.exe")" 2>/dev/null | tr -d '\r') || status=$?
echo "  setup.exe ended with exit code $status"
echo "  screenshots of the wizard's pages (BMP): $shots"
left=$(find "$temp" -maxdepth 1 -type d -name 'stp*' 2>/dev/null | wc -l)
echo "  setup's folders left in the temporary folder: $left"

program_files=$(run cmd /c echo '%ProgramFiles%')
product=$("$wine" winepath -u "$program_files\\ZUV" 2>/dev/null)
step "Installed files in $program_files\\ZUV"
if [ -d "$product" ]; then
  list_files "$product"
else
  echo "  (the folder was not made)"
fi

step "Start-menu folder \"Network Monitor\" and its shortcuts, read back through the shell"
find "$WINEPREFIX/drive_c" -ipath '*start menu*' -iname 'Network Monitor' -print | while read -r folder; do
  windows_folder=$(windows_path "$folder")
  echo "  $windows_folder"
  run "$bin/demo_shortcuts.exe" "$windows_folder" | sed 's/^/  /'
done

step "The product's registry keys"
for key in 'HKLM\SOFTWARE\ZUV\Network Monitor' 'HKCU\Software\ZUV\Network Monitor'; do
  echo "  reg query \"$key\" /s"
  run reg query "$key" /s | sed '/^$/d; s/^/    /'
done
echo "  reg query \"HKLM\SOFTWARE\Microsoft\Windows\HTML Help\" /v netmon.chm"
run reg query 'HKLM\SOFTWARE\Microsoft\Windows\HTML Help' /v netmon.chm | sed '/^$/d; s/^/    /'

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Network Monitor'
step "Add/Remove Programs values: reg query \"$key\""
run reg query "$key" | sed '/^$/d' | awk 'NR == 1 || !/^HKEY/' | sed 's/^/  /'

step "The uninstall lists: reg query \"$key\" /s (subkeys)"
for list in Files ActiveX RegistryKeys; do
  run reg query "$key\\$list" /s | sed '/^$/d; s/^/  /'
done

clsid='{550BADC4-E6A3-11D0-A389-0000E81F4743}'
step "The control's registration: reg query HKCR\\CLSID\\$clsid /s"
run reg query "HKCR\\CLSID\\$clsid" /s | sed '/^$/d; s/^/  /'
run reg query 'HKCR\TSHELP.TSHelpButtonCtrl.1' /s | sed '/^$/d; s/^/  /'

exit "$status"
