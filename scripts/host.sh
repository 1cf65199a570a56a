# What kind of host this is, for set-up, the tests and the demo. Source it.
#
# Some kernels execute 32-bit x86 programs and some do not; where they do not,
# 32-bit Wine cannot start at all, and the 64-bit build under 64-bit Wine is
# the only way to run uninst.exe here.

# True when this kernel executes a 32-bit x86 Linux program. Tries one: a
# 96-byte static ELF that exits with status 42 through int 0x80, written here
# so that nothing needs to be installed first. A qemu-user binfmt handler
# would run it too, but 32-bit Wine crashes under qemu, so such a handler does
# not count as running 32-bit programs.
host_runs_32bit() {
  if [ -z "${HOST_RUNS_32BIT:-}" ]; then
    HOST_RUNS_32BIT=no
    local probe
    probe=$(mktemp "${TMPDIR:-/tmp}/probe32.XXXXXX")
    {
      # ELF header: 32-bit, little-endian, executable for i386, entry 0x08048054.
      printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
      printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
      printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
      # One loadable segment: the whole file at 0x08048000, read and execute.
      printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
      printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
      # mov eax, 1 (exit); mov ebx, 42; int 0x80
      printf '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'
    } >"$probe"
    chmod +x "$probe"
    local status=0
    "$probe" 2>/dev/null || status=$?
    rm -f "$probe"
    if [ "$status" = 42 ] && ! grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
      HOST_RUNS_32BIT=yes
    fi
  fi
  [ "$HOST_RUNS_32BIT" = yes ]
}

# The Wine path this host takes: "32" (the shipped 32-bit uninst.exe under
# 32-bit Wine) where the host runs 32-bit programs, else "64" (the 64-bit
# build under 64-bit Wine). UNINST_WINE=32 or UNINST_WINE=64 forces one.
wine_bits() {
  case "${UNINST_WINE:-}" in
    32|64) echo "$UNINST_WINE" ;;
    "") if host_runs_32bit; then echo 32; else echo 64; fi ;;
    *) echo "UNINST_WINE must be 32 or 64, not '$UNINST_WINE'" >&2; return 1 ;;
  esac
}
