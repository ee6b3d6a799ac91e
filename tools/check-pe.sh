#!/bin/sh
# Checks a built Windows binary: an image of the build's architecture
# (pei-i386 for the product, pei-x86-64 for the 64-bit test build) whose
# export table holds every name of its module-definition file, and which
# imports no DLL but the system's.
# usage: check-pe.sh OBJDUMP FORMAT BINARY [DEF-FILE]
set -euf  # no globbing: exported names may hold '?'
objdump=$1
format=$2
binary=$3
def=${4:-}
dump=$("$objdump" -p "$binary")

echo "$dump" | grep -q "file format $format" || { echo "$binary: not a $format image"; exit 1; }

status=0
if [ -n "$def" ]; then
  names=$(sed -n '/^EXPORTS/,$p' "$def" | sed '1d; s/;.*//' | awk 'NF && $0 !~ /NONAME/ {print $1}')
  table=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
  for name in $names; do
    echo "$table" | awk -v name="$name" '$NF == name {found = 1} END {exit !found}' ||
      { echo "$binary: export $name missing"; status=1; }
  done
fi

system_dlls='^(kernel32|msvcrt|ws2_32|wsock32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|version|shlwapi|uuid|winmm|crypt32|bcrypt|iphlpapi)\.dll$'
for dll in $(echo "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
  lower=$(echo "$dll" | tr 'A-Z' 'a-z')
  echo "$lower" | grep -qE "$system_dlls" || { echo "$binary: imports non-system $dll"; status=1; }
done
exit $status
