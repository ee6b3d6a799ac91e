#!/bin/sh
# Checks the control's member exports as a host built with the platform's
# own compiler sees them: ordinals 101 to 119 carry the names that compiler
# gives the protected members of CTSHelpButtonCtrl, decoded here by LLVM's
# decoder of those names and compared with the methods' declarations
# (__thiscall on i686, the one convention of x86_64). Every other name is
# one of the four server entry points, so no g++ name is left.
# usage: check-member-exports.sh OBJDUMP UNDNAME BINARY
set -eu
objdump=$1
undname=$2
binary=$3
dump=$("$objdump" -p "$binary")

if echo "$dump" | grep -q 'file format pei-i386'; then
  convention=__thiscall
else
  convention=__cdecl
fi
base=$(echo "$dump" | sed -n 's/^Ordinal Base[[:space:]]*//p')
# "ordinal name" for every exported name.
names=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\] \(.*\)$/\1 \2/p' |
  awk -v base="$base" '{print $1 + base, $2}')

status=0
ordinal=101
while IFS= read -r declaration; do
  name=$(echo "$names" | awk -v n="$ordinal" '$1 == n {print $2}')
  result=${declaration%% *}
  expected="protected: $result $convention CTSHelpButtonCtrl::${declaration#* }"
  decoded=$("$undname" "$name" 2>&1 | sed -n 2p)
  if [ "$decoded" != "$expected" ]; then
    echo "ordinal $ordinal: '$name' reads '$decoded', expected '$expected'"
    status=1
  fi
  ordinal=$((ordinal + 1))
done <<'METHODS'
int ShowTextPopup(long, long)
int ShowActivePopup(long, int)
int ShowHTMLHelpTopicId(long, char const *)
int ShowHTMLHelpTopic(char const *, char const *)
int SetMapFile(char const *)
void ShowAKeyword(char const *, char const *)
void ShowKeyword(char const *, char const *)
void ShowHTMLHelpContents(char const *)
void ShowHTMLHelpIndex(char const *)
void ShowHTMLHelpSearch(char const *)
void ShowSkyrelayTopicId(long)
void ShowSkyrelayTopic(char const *)
void SetJavaHelpSettings(long, char const *, char const *, char const *, char const *, char const *)
void ShowJavaHelpTopic(char const *)
void ShowSkyrelayTopicId2(long)
void ShowSkyrelayTopic2(char const *)
int ShowActivePopup2(char const *, int)
void ShowSkyrelayTopicIdSub2(long)
void ShowSkyrelayTopicSub2(char const *)
METHODS

echo "$names" | while read -r number name; do
  case $name in
    '?'*) ;;
    DllCanUnloadNow | DllGetClassObject | DllRegisterServer | DllUnregisterServer) ;;
    *) echo "ordinal $number: unexpected export $name"; exit 1 ;;
  esac
done || status=1
count=$(echo "$names" | wc -l)
[ "$count" -eq 23 ] || { echo "$count names exported, expected 23"; status=1; }
exit $status
