# shellcheck shell=bash
# Shared by the scripts in this folder; sourced, never run. The sourcing
# script has changed to the repository's top folder first.

# buildFolder FOLDER [CONFIGURE-OPTION...] [-- TARGET...]
#   Configures FOLDER from this tree with the options (e.g. --preset win32)
#   and builds the targets, or everything without any, two jobs at a time.
#   Configures every time: cheap when nothing changed, and a folder made
#   before a target existed learns about it (make alone would not know the
#   target's name). Both steps write to the log FOLDER.log beside the folder.
#   Returns 0 when both succeed, having removed the log; otherwise prints the
#   log's last 60 lines and its name on standard error, keeps it and
#   returns 1.
buildFolder() {
  local folder=$1
  shift
  local configureOptions=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    configureOptions+=("$1")
    shift
  done
  [ $# -eq 0 ] || shift
  local buildCommand=(cmake --build "$folder" -j2)
  [ $# -eq 0 ] || buildCommand+=(--target "$@")

  local buildLog="$folder.log"
  mkdir -p "$(dirname "$buildLog")"
  if cmake -S . -B "$folder" "${configureOptions[@]}" >"$buildLog" 2>&1 &&
     "${buildCommand[@]}" >>"$buildLog" 2>&1; then
    rm -f "$buildLog"
    return 0
  fi
  tail -60 "$buildLog" >&2
  echo "(the whole log: $buildLog)" >&2
  return 1
}

# onOwnDisplay SCRIPT [ARG...]: runs the script again, with its arguments,
# inside a virtual X display of its own (xvfb-run), so that every Wine
# program it starts shares one display; SSTP_XVFB marks the run inside, and
# there this returns at once.
onOwnDisplay() {
  [ -z "${SSTP_XVFB:-}" ] || return 0
  export SSTP_XVFB=1
  exec xvfb-run -a bash "$@"
}

# presetFolder NAME: the build folder the scripts use for the preset NAME
# (or script/bench's optimised folder "bench"): the folder that
# SSTP_<NAME>_BUILD names (SSTP_NATIVE_BUILD, SSTP_WIN32_BUILD, ...), else
# build/NAME.
presetFolder() {
  local variable="SSTP_${1^^}_BUILD"
  echo "${!variable:-build/$1}"
}

# buildPreset PRESET FOLDER [TARGET...]
#   buildFolder for one of CMakePresets.json's presets: FOLDER configured
#   with PRESET (FOLDER in place of the preset's own), the same results.
buildPreset() {
  local preset=$1 folder=$2
  shift 2
  buildFolder "$folder" --preset "$preset" -- "$@"
}

# x86Mode: how this machine runs 32-bit x86 Linux programs (the native
# build's tests, Wine's 32-bit loader), told by running one. Prints
#   native     the kernel runs them itself;
#   emulated   a binfmt_misc handler runs them (QEMU's user-mode emulation
#              as script/setup registers it): the program is told a machine
#              other than x86_64;
#   refused    nothing runs them (the kernel answers "Exec format error").
# The probe is a 123-byte static i386 ELF, built by hand so that it needs
# no compiler: it calls uname (int 0x80, call 122) and exits 0 when the
# machine field begins with "x86_", else 2:
#   sub esp,400 / mov eax,122 / mov ebx,esp / int 0x80 / xor ebx,ebx
#   cmp dword [esp+260],"x86_" / je +2 / mov bl,2 / mov eax,1 / int 0x80
# It is written into build/ where it can be (/tmp may forbid running
# programs).
x86Mode() {
  local probe
  probe=$(mkdir -p build 2>/dev/null && mktemp build/x86-probe.XXXXXX 2>/dev/null || mktemp)
  base64 -d >"$probe" <<'PROBE'
f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAA
AAAAAIAECACABAh7AAAAewAAAAUAAAAAEAAAgeyQAQAAuHoAAACJ482AMduBvCQEAQAAeDg2X3QC
swK4AQAAAM2A
PROBE
  chmod +x "$probe"
  "$probe" 2>/dev/null
  local status=$?
  rm -f "$probe"
  case $status in
    0) echo native ;;
    2) echo emulated ;;
    *) echo refused ;;
  esac
}

# x86ModeLine: one line for a run's output saying how 32-bit programs ran
# here, and what that changes: under emulation LeakSanitizer is off for the
# 32-bit programs and timings are not the native ones.
x86ModeLine() {
  case $(x86Mode) in
    native) echo "32-bit x86 programs: run by the kernel" ;;
    emulated)
      local qemu
      qemu=$(qemu-i386 --version 2>/dev/null | head -n 1)
      echo "32-bit x86 programs: emulated (${qemu:-a binfmt_misc handler}); LeakSanitizer is off in them" ;;
    refused) echo "32-bit x86 programs: refused by this machine (run script/setup as root)" ;;
  esac
}
