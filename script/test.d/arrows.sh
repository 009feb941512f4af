#!/usr/bin/env bash
# The arrows between folders run one way: every quoted #include of a file
# must be found in a folder its own folder may use.
#
#   src/common                 common
#   src/template, src/estimate, src/sstp, src/job
#                              the core: common, template, estimate, sstp,
#                              job
#   src/platform               common (the stand-ins serve the core, not
#                              the other way round)
#   src/host                   the core and host (the AviUtl 1.x binding)
#   src/aviutl2                the core and aviutl2 (the AviUtl ExEdit2
#                              binding); neither binding uses the other
#   tools/...                  src, its own folder and the other tools
#   tests/..., fuzz            src, tools, their own folder
#
# Natively the core's Windows headers are the stand-ins'
# (src/platform/include), which every folder may use. A header is looked
# for beside the including file first, then in each allowed root, as the
# compiler's include path finds it.
set -uo pipefail
cd "$(dirname "$0")/../.."
status=0

# allowedRoots FILE: the folders where FILE's includes may be found.
allowedRoots() {
  local file=$1
  case "$file" in
    src/*) echo "src src/platform/include" ;;
    tools/*) echo "src src/platform/include tools $(ls -d tools/*/)" ;;
    tests/*|fuzz/*) echo "src src/platform/include tools $(ls -d tools/*/) tests" ;;
  esac
}

# forbiddenPrefixes FILE: include paths FILE may not name even when found.
forbiddenPrefixes() {
  case "$1" in
    src/common/*) echo "template/ estimate/ sstp/ job/ host/ aviutl2/ platform/" ;;
    src/platform/*) echo "template/ estimate/ sstp/ job/ host/ aviutl2/" ;;
    src/template/*|src/estimate/*|src/sstp/*|src/job/*) echo "host/ aviutl2/ platform/" ;;
    src/host/*) echo "aviutl2/ platform/" ;;
    src/aviutl2/*) echo "host/ platform/" ;;
  esac
}

while IFS= read -r file; do
  roots=$(allowedRoots "$file")
  forbidden=$(forbiddenPrefixes "$file")
  while IFS= read -r included; do
    [ -n "$included" ] || continue
    for prefix in $forbidden; do
      case "$included" in "$prefix"*)
        echo "arrows: $file includes $included, against the arrows"; status=1 ;;
      esac
    done
    found=0
    [ -f "$(dirname "$file")/$included" ] && found=1
    for root in $roots; do
      [ $found = 1 ] && break
      [ -f "${root%/}/$included" ] && found=1
    done
    [ $found = 1 ] || { echo "arrows: $file includes \"$included\", which none of its folders may use"; status=1; }
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' 'fuzz/*.cpp' 'fuzz/*.h')

[ $status = 0 ] && echo "arrows: every include runs the way the folders allow"
exit $status
