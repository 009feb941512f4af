#!/usr/bin/env bash
# Builds the release zip and checks it: the layout of AviUtl's folder, the
# sum beside it, and that the plug-in and tpp.exe import no DLL beyond those
# every Windows has.
set -uo pipefail
shopt -s nullglob
cd "$(dirname "$0")/../.."

# Every Windows since XP has these; nothing else may be imported.
allowed_dlls="kernel32.dll user32.dll gdi32.dll ws2_32.dll msvcrt.dll advapi32.dll"

zip=$(bash script/package) || { echo "package: script/package failed"; exit 1; }
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

[ $status -eq 0 ] && echo "package: $(basename "$zip") is laid out as AviUtl's folder"
exit $status
