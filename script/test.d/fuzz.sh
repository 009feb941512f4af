#!/usr/bin/env bash
# Short fuzz runs: every target over its seeds, then about 20 s of fuzzing
# each (script/fuzz).
set -uo pipefail
cd "$(dirname "$0")/../.."
exec bash script/fuzz "${SSTP_FUZZ_SECONDS:-20}"
