#!/usr/bin/env bash
# Builds the release packages and checks each: its layout (AviUtl's folder
# for the 1.x zip, the host's package layout for AviUtl ExEdit2), the sum
# beside it, that every shipped binary imports no DLL beyond those every
# Windows has and is shipped without debug information (kept beside the
# packages), each plug-in within its size and with its exports, and that
# each package's own plug-in works under Wine: the 1.x host emulator
# initialises its window and makes one save, the stand-in AviUtl ExEdit2
# host runs one file output, each against a test receiver, and both notices
# arrive byte for byte. The win32 and win64 build folders (presetFolder)
# provide the hosts and the receiver.
set -uo pipefail
shopt -s nullglob
cd "$(dirname "$0")/../.."
source script/lib.sh

# The hosts make windows: every Wine program of the check shares one
# virtual X display.
onOwnDisplay "$0" "$@"

# The plug-ins' size limits: 200 KiB for sstp.auf, 320 KiB for sstp.aux2
# (x86-64 code and its static runtime are larger).
maxAufBytes=204800
maxAux2Bytes=327680

# Every Windows since XP has these; nothing else may be imported.
allowed_dlls="kernel32.dll user32.dll gdi32.dll ws2_32.dll msvcrt.dll advapi32.dll"

packageLog=$(mktemp)
bash script/package >"$packageLog" || { cat "$packageLog"; rm -f "$packageLog"; echo "package: script/package failed"; exit 1; }
sed '$d' "$packageLog" | sed '$d'
zip=$(tail -2 "$packageLog" | head -1)
au2pkg=$(tail -1 "$packageLog")
rm -f "$packageLog"
status=0
fail() { echo "package: $*"; status=1; }

version=$(basename "$zip" .zip); version=${version#sstp-notifier-}
[ "$version" != "" ] || fail "no version in the zip's name"
debugFolder="${zip%.zip}-debug"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# checkZip ZIP FOLDER EXPECTED-ENTRIES: the entries, the sum, and the
# contents unpacked into FOLDER.
checkZip() {
  local zip=$1 folder=$2 expected=$3
  local listing
  listing=$(unzip -Z1 "$zip" | LC_ALL=C sort)
  if [ "$listing" != "$(LC_ALL=C sort <<<"$expected")" ]; then
    fail "$(basename "$zip")'s entries differ from the layout:"
    diff <(LC_ALL=C sort <<<"$expected") <(echo "$listing") | sed 's/^/  /'
  fi
  unzip -l "$zip" | sed 's/^/  /'
  (cd "$(dirname "$zip")" && sha256sum -c --quiet "$(basename "$zip").sha256") ||
    fail "the SHA-256 sum of $(basename "$zip") does not match"
  mkdir -p "$folder"
  unzip -q "$zip" -d "$folder"
}

# checkBinary TRIPLE FILE: the imports, no debug sections, the debug file
# beside the packages and its name in the binary.
checkBinary() {
  local objdump=$1-objdump file=$2
  local name dlls sections debugSections
  name=$(basename "$file")
  dlls=$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$dlls" ] || fail "$name: no import table found"
  for dll in $dlls; do
    case " $allowed_dlls " in
      *" $dll "*) ;;
      *) fail "$name imports $dll, which not every Windows has" ;;
    esac
  done
  sections=$("$objdump" -h "$file" | awk '$1 ~ /^[0-9]+$/ {print $2}')
  debugSections=$(grep '^\.debug' <<<"$sections" | tr '\n' ' ')
  [ -z "$debugSections" ] || fail "$name has debug sections: $debugSections"
  grep -qx '\.gnu_debuglink' <<<"$sections" || fail "$name names no debug file (.gnu_debuglink)"
  grep -q ' \.debug_info ' <<<"$("$objdump" -h "$debugFolder/$name.debug" 2>/dev/null)" ||
    fail "$debugFolder/$name.debug is missing or holds no debug information"
  echo "  $name: $(stat -c %s "$file") bytes, imports $(echo $dlls), no debug sections"
}

# checkPlugin TRIPLE FILE LIMIT EXPORT...: checkBinary, the size limit and
# the exports a host looks up by their undecorated names.
checkPlugin() {
  local triple=$1 file=$2 limit=$3
  shift 3
  checkBinary "$triple" "$file"
  local bytes exports
  bytes=$(stat -c %s "$file")
  [ "$bytes" -le "$limit" ] || fail "$(basename "$file") is $bytes bytes, more than $limit"
  exports=$("$triple-objdump" -p "$file")
  for name in "$@"; do
    grep -q "\] $name\$" <<<"$exports" || fail "$(basename "$file") does not export $name"
  done
  # Every delivery asks Windows not to resend a refused SYN (WS2_32 WSAIoctl).
  grep -q '[[:space:]]WSAIoctl$' <<<"$exports" || fail "$(basename "$file") does not import WSAIoctl"
}

# The check's template: ghost テスト; start "\h\s[0]保存開始 ..."; end
# "\h\s[0]保存終了 $frame". expectRequests FOLDER START-TEXT writes the two
# requests it must give, the start script ending in START-TEXT.
writeCheckTemplate() {
  printf '[config]\r\nghost=\x83\x65\x83\x58\x83\x67\r\n[start]\r\n1=\\h\\s[0]\x95\xdb\x91\xb6\x8a\x4a\x8e\x6e $frame $width x $height $fps $filename\r\n[end]\r\n1=\\h\\s[0]\x95\xdb\x91\xb6\x8f\x49\x97\xb9 $frame\r\n' \
    >"$1/check.tpp"
}
expectRequests() {
  local head='SEND SSTP/1.4\r\nSender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\nIfGhost: \x83\x65\x83\x58\x83\x67\r\n'
  local tail='\\e\r\nOption: nodescript\r\n\r\n'
  mkdir -p "$1"
  printf "${head}Script: \\\\h\\\\s[0]\x95\xdb\x91\xb6\x8a\x4a\x8e\x6e $2${tail}" >"$1/request-1"
  printf "${head}Script: \\\\h\\\\s[0]\x95\xdb\x91\xb6\x8f\x49\x97\xb9 900${tail}" >"$1/request-2"
}

# proveWithReceiver PROOF-FOLDER WHAT HOST-COMMAND...: builds and starts
# the win32 receiver for two requests, runs the host command with PORT in its words
# replaced by the receiver's port, and compares what arrived with
# PROOF-FOLDER/expected.
proveWithReceiver() {
  local proof=$1 what=$2
  shift 2
  local win32
  win32=$(presetFolder win32)
  buildPreset win32 "$win32" sstp-receiver || { fail "the win32 build of the receiver failed"; return 1; }
  win32=$(cd "$win32" && pwd)
  mkdir -p "$proof/received"
  (cd "$proof" && exec "$win32/wine-run.sh" "$win32/sstp-receiver.exe" --port 0 --count 2 --save received \
     >receiver.log 2>&1) &
  local receiver=$!
  local port=""
  for _ in $(seq 1 600); do  # the first Wine program of a build folder makes its prefix
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$proof/receiver.log" 2>/dev/null)
    [ -n "$port" ] && break
    kill -0 "$receiver" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$port" ]; then
    kill "$receiver" 2>/dev/null; wait "$receiver" 2>/dev/null
    sed 's/^/  /' "$proof/receiver.log"
    fail "the test receiver did not start"
    return 1
  fi
  if ! "${@//PORT/$port}" >"$proof/host.log" 2>&1; then
    sed 's/^/  /' "$proof/host.log"
    fail "the host failed with $what"
  fi
  for _ in $(seq 1 300); do kill -0 "$receiver" 2>/dev/null || break; sleep 0.1; done
  kill "$receiver" 2>/dev/null; wait "$receiver" 2>/dev/null
  local n failed=0
  for n in 1 2; do
    if ! cmp -s "$proof/expected/request-$n" "$proof/received/request-$n"; then
      echo "  expected:"; od -c "$proof/expected/request-$n" | sed 's/^/    /'
      echo "  received:"; od -c "$proof/received/request-$n" 2>/dev/null | sed 's/^/    /'
      fail "notice $n of $what differs"
      failed=1
    fi
  done
  return $failed
}

# The 1.x zip's own plug-in: window initialisation and one save.
proveAviutl() {
  local win32
  win32=$(presetFolder win32)
  buildPreset win32 "$win32" host-emulator || { fail "the win32 build of the emulator failed"; return; }
  win32=$(cd "$win32" && pwd)
  local proof="$work/proof"
  mkdir -p "$proof/plugin"
  cp "$work/aviutl/plugins/sstp.auf" "$proof/plugin/"
  writeCheckTemplate "$proof/plugin"
  expectRequests "$proof/expected" "900 320 x 240 29.97 fps output.avi"
  proveWithReceiver "$proof" "the zip's plug-in" \
    "$win32/wine-run.sh" "$win32/host-emulator.exe" --plugin "$proof/plugin/sstp.auf" --port-map "9801=PORT" \
    --no-align --save-seconds 0 init save destroy &&
    echo "  plugins/sstp.auf under Wine: window initialisation and one save, both notices byte for byte"
}

# The AviUtl ExEdit2 package's own plug-in, installed as the host installs
# the package: one file output of a 320 x 240 scene of 900 frames at
# 30000/1001. The host tells no output name.
proveAviutl2() {
  local win64
  win64=$(presetFolder win64)
  buildPreset win64 "$win64" aviutl2-host || { fail "the win64 build of the stand-in host failed"; return; }
  win64=$(cd "$win64" && pwd)
  local proof="$work/proof2"
  mkdir -p "$proof"
  cp -r "$work/aviutl2/Plugin" "$proof/"
  local plugin="$proof/Plugin/sstp-notifier"
  rm -f "$plugin"/*.tpp
  writeCheckTemplate "$plugin"
  expectRequests "$proof/expected" "900 320 x 240 29.97 fps "
  proveWithReceiver "$proof" "the package's plug-in" \
    "$win64/wine-run.sh" "$win64/aviutl2-host.exe" --plugin "$plugin/sstp.aux2" --app-data "$proof" \
    --port-map "9801=PORT" --size 320x240 --rate 30000/1001 --frames 900 output wait 1 edit wait 0.5 &&
    echo "  Plugin/sstp-notifier/sstp.aux2 under Wine: one file output, both notices byte for byte"
}

templateEntries() {  # templateEntries FOLDER: the shipped templates in FOLDER
  for t in templates/*.tpp; do echo "$1/$(basename "$t")"; done
}

checkZip "$zip" "$work/aviutl" "$( {
  echo plugins/sstp.auf
  templateEntries plugins
  echo sstp-notifier/tpp.exe
  echo sstp-notifier/LICENSE
  echo sstp-notifier/docs/ja/guide.md
  echo sstp-notifier/docs/en/guide.md
  for p in docs/images/*.png; do echo "sstp-notifier/docs/images/$(basename "$p")"; done
} )"
checkPlugin i686-w64-mingw32 "$work/aviutl/plugins/sstp.auf" $maxAufBytes GetFilterTable
checkBinary i686-w64-mingw32 "$work/aviutl/sstp-notifier/tpp.exe"
proveAviutl

checkZip "$au2pkg" "$work/aviutl2" "$( {
  echo package.ini
  echo package.txt
  echo Plugin/sstp-notifier/sstp.aux2
  templateEntries Plugin/sstp-notifier
} )"
grep -q $'^id=sstp-notifier\r$' "$work/aviutl2/package.ini" || fail "package.ini names no id sstp-notifier"
checkPlugin x86_64-w64-mingw32 "$work/aviutl2/Plugin/sstp-notifier/sstp.aux2" $maxAux2Bytes \
  RegisterPlugin InitializePlugin UninitializePlugin InitializeLogger
proveAviutl2

[ $status -eq 0 ] && echo "package: $(basename "$zip") is laid out as AviUtl's folder, $(basename "$au2pkg") as AviUtl ExEdit2's package"
exit $status
