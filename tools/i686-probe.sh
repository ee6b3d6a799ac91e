# Sourced by the test and demo scripts: whether this machine can run the
# i686 product under Wine. Some machines run no 32-bit program at all (the
# kernel's IA-32 emulation is off), so Debian's 32-bit Wine loader can't
# start there; NETMON_64BIT_ONLY=1 takes that path on any machine.
#
# i686_blocked_reason prints why the i686 programs can't run here, or
# nothing when they can.
i686_blocked_reason() {
  if [ "${NETMON_64BIT_ONLY:-0}" = 1 ]; then
    echo "NETMON_64BIT_ONLY=1 is set"
  elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "this machine runs no 32-bit program (/usr/lib/wine/wine --version failed)"
  fi
}
