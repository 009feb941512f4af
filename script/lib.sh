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

# buildPreset PRESET FOLDER [TARGET...]
#   buildFolder for one of CMakePresets.json's presets: FOLDER configured
#   with PRESET (FOLDER in place of the preset's own), the same results.
buildPreset() {
  local preset=$1 folder=$2
  shift 2
  buildFolder "$folder" --preset "$preset" -- "$@"
}
