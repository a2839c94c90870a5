#!/usr/bin/env bash
# Builds the product DLL once more from clean and checks that it has the same bytes as the one under
# test: what a user downloads must be what these sources give.
# Usage: check_reproducible.sh SOURCE_DIR VORPAN.DLL
set -euo pipefail

source_dir=$1
dll=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake -S "$source_dir" -B "$scratch" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DVORPAN_DLL_ONLY=ON >"$scratch/log" 2>&1 &&
    cmake --build "$scratch" --target vorpan >>"$scratch/log" 2>&1 ||
    { cat "$scratch/log"; echo "FAIL: the clean build failed"; exit 1; }
cmp "$dll" "$scratch/bin/VORPAN.DLL" || { echo "FAIL: a clean build gave other bytes than $dll"; exit 1; }
echo "$dll: a clean build gives the same bytes ($(sha256sum <"$dll" | cut -c1-16)...)"
