#!/usr/bin/env bash
# Builds the fuzz targets with clang into fuzz-build/ beside the sources.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
cmake -S "$root/libhpi/fuzz" -B "$root/fuzz-build" -G Ninja \
      -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$root/fuzz-build" -j2
