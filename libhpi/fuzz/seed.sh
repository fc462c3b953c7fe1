#!/usr/bin/env bash
# Copies every fixed test archive into a corpus folder: seed.sh CORPUS [TESTDATA]
# Archives of one name live in several folders (stored.hpi and v2/stored.hpi),
# so each is copied under its path below the test data with "/" made "_".
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
corpus="${1:?usage: seed.sh CORPUS [TESTDATA]}"
testdata="${2:-${QUARRIX_TESTDATA_DIR:-$root/tests/data/hpi}}"
mkdir -p "$corpus"
corpus="$(cd "$corpus" && pwd)"
cd "$testdata"
find . -type f \( -name '*.hpi' -o -name '*.ufo' -o -name '*.gp3' -o -name '*.gp4' \) -printf '%P\n' |
  while IFS= read -r archive; do
    cp -n -- "$archive" "$corpus/${archive//\//_}"
  done
