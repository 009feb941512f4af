#!/usr/bin/env bash
# The shipped templates must lint clean: no error and no warning.
set -uo pipefail
cd "$(dirname "$0")/../.."
tpp=${SSTP_NATIVE_BUILD:-build/native}/tpp
[ -x "$tpp" ] || { echo "lint-templates: $tpp is missing (build the native preset first)"; exit 1; }
report=$("$tpp" lint templates/*.tpp 2>&1)
status=$?
if [ $status -ne 0 ] || [ -n "$report" ]; then
  echo "$report" | iconv -f CP932 -t UTF-8 -c
  echo "lint-templates: the shipped templates are not clean (exit status $status)"
  exit 1
fi
echo "lint-templates: $(ls templates/*.tpp | wc -l) templates clean"
