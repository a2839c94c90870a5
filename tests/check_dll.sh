#!/usr/bin/env bash
# Checks the product DLL as the host and a clean Windows see it, without running it: 32-bit, named
# Vorpan.dll, two undecorated exports at fixed ordinals that remove their own arguments, only KERNEL32
# and USER32 imported, no heap, at most 16 KiB.
# Usage: check_dll.sh VORPAN.DLL [objdump]
set -euo pipefail

dll=$1
objdump=${2:-i686-w64-mingw32-objdump}
# objdump speaks Japanese under the tests' locale; the parsing below reads its English output.
headers=$(LC_ALL=C "$objdump" -p "$dll")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 i386 image"
grep -Eq '^Magic[[:space:]]+010b' <<<"$headers" || fail "optional header is not PE32"
grep -Eq '^[[:space:]]+DLL$' <<<"$headers" || fail "not marked as a DLL"

name=$(awk '/^The Export Tables/ { e = 1 } e && $1 == "Name" { print $NF; exit }' <<<"$headers")
[ "$name" = "Vorpan.dll" ] || fail "export table names '$name', expected 'Vorpan.dll'"

# "[Ordinal/Name Pointer] Table" lists "[index] name"; older binutils print "+base[ordinal]" too.
base=$(awk '/^Ordinal Base/ { print $NF; exit }' <<<"$headers")
exports=$(awk -v base="${base:-1}" '
    /^\[Ordinal\/Name Pointer\] Table/ { t = 1; next }
    t && /^[[:space:]]*$/ { exit }
    t {
        line = $0
        if (match(line, /\+base\[ *[0-9]+\]/)) { s = substr(line, RSTART, RLENGTH); gsub(/[^0-9]/, "", s); ord = s + 0 }
        else { match(line, /\[ *[0-9]+\]/); s = substr(line, RSTART, RLENGTH); gsub(/[^0-9]/, "", s); ord = s + base }
        print ord, $NF
    }' <<<"$headers" | sort -n)
expected_exports=$'1 GetFunctionInfo\n2 DoProcess'
[ "$exports" = "$expected_exports" ] || fail "exports are:
$exports
expected:
$expected_exports"

imports=$(awk '/DLL Name:/ { print toupper($NF) }' <<<"$headers" | sort -u)
while read -r lib; do
    [ -z "$lib" ] && continue
    case "$lib" in KERNEL32.DLL|USER32.DLL) ;; *) fail "imports $lib" ;; esac
done <<<"$imports"

# Member names follow "DLL Name:" as "vma hint name" lines.
members=$(awk '/DLL Name:/ { d = 1; next } d && NF == 3 && $2 ~ /^[0-9]+$/ { print $3 } /^$/ { d = 0 }' <<<"$headers")
heap='^(HeapAlloc|HeapReAlloc|HeapFree|HeapCreate|GetProcessHeap|LocalAlloc|LocalReAlloc|GlobalAlloc|GlobalReAlloc|VirtualAlloc|VirtualAllocEx|malloc|calloc|realloc|free)$'
while read -r fn; do
    [ -z "$fn" ] && continue
    [[ $fn =~ $heap ]] && fail "imports the heap function $fn"
done <<<"$members"
[ -n "$members" ] || fail "no imported functions found: objdump output not understood"

# The host calls both exports with the Windows convention: the callee removes the arguments, 12 bytes
# for GetFunctionInfo and 4 for DoProcess. The first return from each export's address says which.
image_base=$(awk '/^ImageBase/ { print $2; exit }' <<<"$headers")
while read -r ordinal want; do
    rva=$(awk -v o="$ordinal" '/^Export Address Table --/ { t = 1; next } t && $0 ~ "\\+base\\[ *" o "\\]" { print $(NF - 2); exit }' <<<"$headers")
    [ -n "$rva" ] || { fail "no address for export @$ordinal"; continue; }
    start=$(printf '0x%x' $((0x$image_base + 0x$rva)))
    ret=$(LC_ALL=C "$objdump" -d --start-address="$start" --stop-address=$((start + 4096)) "$dll" |
        awk '!done && /\tret/ { sub(/.*\tret[lw]?[ \t]*/, ""); print ($0 == "" ? "(none)" : $0); done = 1 }')
    [ "$ret" = "$want" ] || fail "export @$ordinal returns with 'ret ${ret:-?}', expected 'ret $want'"
done <<<$'1 $0xc\n2 $0x4'

size=$(stat -c %s "$dll")
[ "$size" -le 16384 ] || fail "$size bytes, more than 16 KiB"

if [ "$failures" -gt 0 ]; then
    echo "$dll: $failures check(s) failed"
    exit 1
fi
echo "$dll: PE32 i386 Vorpan.dll, $size bytes, exports GetFunctionInfo @1 (ret \$0xc) and DoProcess @2 (ret \$0x4), imports:"
echo "$imports"
