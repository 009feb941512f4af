#!/usr/bin/env bash
# Builds the release zip and checks it: the layout of AviUtl's folder, the
# sum beside it, that the plug-in and tpp.exe import no DLL beyond those
# every Windows has, that both are shipped without debug information (kept
# beside the zip) and the plug-in within its size, and that the zip's own
# plug-in works: under Wine the host emulator initialises its window and
# makes one save against a test receiver, and both notices arrive byte for
# byte. The win32 build folder (presetFolder) provides the emulator and the
# receiver.
set -uo pipefail
shopt -s nullglob
cd "$(dirname "$0")/../.."
source script/lib.sh

# The emulator makes the filter window: every Wine program of the check
# shares one virtual X display.
onOwnDisplay "$0" "$@"

# The plug-in's size limit: 200 KiB.
maxPluginBytes=204800

# Every Windows since XP has these; nothing else may be imported.
allowed_dlls="kernel32.dll user32.dll gdi32.dll ws2_32.dll msvcrt.dll advapi32.dll"

packageLog=$(mktemp)
bash script/package >"$packageLog" || { cat "$packageLog"; rm -f "$packageLog"; echo "package: script/package failed"; exit 1; }
sed '$d' "$packageLog"
zip=$(tail -1 "$packageLog")
rm -f "$packageLog"
status=0
fail() { echo "package: $*"; status=1; }

version=$(basename "$zip" .zip); version=${version#sstp-notifier-}
listing=$(unzip -Z1 "$zip" | LC_ALL=C sort)
expected=$( {
  echo plugins/sstp.auf
  for t in templates/*.tpp; do echo "plugins/$(basename "$t")"; done
  echo sstp-notifier/tpp.exe
  echo sstp-notifier/LICENSE
  echo sstp-notifier/docs/ja/guide.md
  echo sstp-notifier/docs/en/guide.md
  for p in docs/images/*.png; do echo "sstp-notifier/docs/images/$(basename "$p")"; done
} | LC_ALL=C sort)
if [ "$listing" != "$expected" ]; then
  fail "the zip's entries differ from the layout:"
  diff <(echo "$expected") <(echo "$listing") | sed 's/^/  /'
fi
unzip -l "$zip" | sed 's/^/  /'

(cd "$(dirname "$zip")" && sha256sum -c --quiet "$(basename "$zip").sha256") || fail "the SHA-256 sum does not match"
[ "$version" != "" ] || fail "no version in the zip's name"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
for binary in plugins/sstp.auf sstp-notifier/tpp.exe; do
  dlls=$(i686-w64-mingw32-objdump -p "$work/$binary" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$dlls" ] || fail "$binary: no import table found"
  for dll in $dlls; do
    case " $allowed_dlls " in
      *" $dll "*) ;;
      *) fail "$binary imports $dll, which not every Windows has" ;;
    esac
  done
  echo "  $binary imports: $(echo $dlls)"
done
# The plug-in exports GetFilterTable undecorated, as the host looks it up.
exports=$(i686-w64-mingw32-objdump -p "$work/plugins/sstp.auf")
grep -q '\] GetFilterTable$' <<<"$exports" || fail "plugins/sstp.auf does not export GetFilterTable"

# Release binaries: no debug section, the debug file beside the zip, and
# the plug-in within its size.
debugFolder="${zip%.zip}-debug"
for binary in plugins/sstp.auf sstp-notifier/tpp.exe; do
  file=$(basename "$binary")
  sections=$(i686-w64-mingw32-objdump -h "$work/$binary" | awk '$1 ~ /^[0-9]+$/ {print $2}')
  debugSections=$(grep '^\.debug' <<<"$sections" | tr '\n' ' ')
  [ -z "$debugSections" ] || fail "$binary has debug sections: $debugSections"
  grep -qx '\.gnu_debuglink' <<<"$sections" || fail "$binary names no debug file (.gnu_debuglink)"
  debugFileSections=$(i686-w64-mingw32-objdump -h "$debugFolder/$file.debug" 2>/dev/null)
  grep -q ' \.debug_info ' <<<"$debugFileSections" ||
    fail "$debugFolder/$file.debug is missing or holds no debug information"
  echo "  $binary: $(stat -c %s "$work/$binary") bytes, no debug sections"
done
pluginBytes=$(stat -c %s "$work/plugins/sstp.auf")
[ "$pluginBytes" -le $maxPluginBytes ] || fail "plugins/sstp.auf is $pluginBytes bytes, more than $maxPluginBytes"
# Every delivery asks Windows not to resend a refused SYN (WS2_32 WSAIoctl).
imports=$(i686-w64-mingw32-objdump -p "$work/plugins/sstp.auf")
grep -q '[[:space:]]WSAIoctl$' <<<"$imports" || fail "plugins/sstp.auf does not import WSAIoctl"

# The zip's own plug-in at work under Wine: window initialisation and one
# save with a template of one alternative per section, so that both notices
# are known to the byte.
proveShippedPlugin() {
  local win32
  win32=$(presetFolder win32)
  buildPreset win32 "$win32" host-emulator sstp-receiver || { fail "the win32 build of the emulator failed"; return; }
  win32=$(cd "$win32" && pwd)
  local proof="$work/proof"
  mkdir -p "$proof/plugin" "$proof/received" "$proof/expected"
  cp "$work/plugins/sstp.auf" "$proof/plugin/"
  # ghost テスト; start "\h\s[0]保存開始 ..."; end "\h\s[0]保存終了 $frame".
  printf '[config]\r\nghost=\x83\x65\x83\x58\x83\x67\r\n[start]\r\n1=\\h\\s[0]\x95\xdb\x91\xb6\x8a\x4a\x8e\x6e $frame $width x $height $fps $filename\r\n[end]\r\n1=\\h\\s[0]\x95\xdb\x91\xb6\x8f\x49\x97\xb9 $frame\r\n' \
    >"$proof/plugin/check.tpp"
  local head='SEND SSTP/1.4\r\nSender: AviUtl with SSTP\r\nCharset: Shift_JIS\r\nIfGhost: \x83\x65\x83\x58\x83\x67\r\n'
  local tail='\\e\r\nOption: nodescript\r\n\r\n'
  printf "${head}Script: \\\\h\\\\s[0]\x95\xdb\x91\xb6\x8a\x4a\x8e\x6e 900 320 x 240 29.97 fps output.avi${tail}" \
    >"$proof/expected/request-1"
  printf "${head}Script: \\\\h\\\\s[0]\x95\xdb\x91\xb6\x8f\x49\x97\xb9 900${tail}" >"$proof/expected/request-2"

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
    return
  fi
  if ! "$win32/wine-run.sh" "$win32/host-emulator.exe" --plugin "$proof/plugin/sstp.auf" --port-map "9801=$port" \
       --no-align --save-seconds 0 init save destroy >"$proof/emulator.log" 2>&1; then
    sed 's/^/  /' "$proof/emulator.log"
    fail "the host emulator failed with the zip's plug-in"
  fi
  for _ in $(seq 1 300); do kill -0 "$receiver" 2>/dev/null || break; sleep 0.1; done
  kill "$receiver" 2>/dev/null; wait "$receiver" 2>/dev/null
  local n
  for n in 1 2; do
    if ! cmp -s "$proof/expected/request-$n" "$proof/received/request-$n"; then
      echo "  expected:"; od -c "$proof/expected/request-$n" | sed 's/^/    /'
      echo "  received:"; od -c "$proof/received/request-$n" 2>/dev/null | sed 's/^/    /'
      fail "notice $n of the zip's plug-in differs"
    fi
  done
  [ $status -eq 0 ] && echo "  plugins/sstp.auf under Wine: window initialisation and one save, both notices byte for byte"
}
proveShippedPlugin

[ $status -eq 0 ] && echo "package: $(basename "$zip") is laid out as AviUtl's folder"
exit $status
