#!/usr/bin/env bash
# Checks the product DLL as the host and a clean Windows see it, without running it: 32-bit, named
# Vorpan.dll, two undecorated exports at fixed ordinals that remove their own arguments, only KERNEL32
# and USER32 imported, no heap, at most 16 KiB, the settings dialog in Japanese, and one version told
# alike by the host's version word, the version resource and the readme shipped beside the DLL, whose
# history has an entry for it, whose copyright line is the DLL's and the licence's, and whose lines stay
# under 80 columns in Shift_JIS. The release runs it on the very files it packs.
# Usage: check_dll.sh VORPAN.DLL README VERSION    (README in UTF-8, VERSION as users read it: 2.00)
set -euo pipefail

dll=$1
readme=$2
version=$3
objdump=i686-w64-mingw32-objdump
windres=i686-w64-mingw32-windres
# objdump speaks Japanese under the tests' locale; the parsing below reads its English output.
headers=$(LC_ALL=C "$objdump" -p "$dll")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# same WHAT ACTUAL EXPECTED: a multi-line value compared whole, both printed when they differ.
same() { [ "$2" = "$3" ] || fail "$1 is:"$'\n'"$2"$'\n'"expected:"$'\n'"$3"; }

grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 i386 image"
grep -Eq '^Magic[[:space:]]+010b' <<<"$headers" || fail "optional header is not PE32"
grep -Eq '^[[:space:]]+DLL$' <<<"$headers" || fail "not marked as a DLL"

# The export and import tables, read by one parser for every binutils layout it knows; a line it cannot
# read fails the check by its number and text.
if ! tables=$(LC_ALL=C awk -f "$(dirname "$0")/../scripts/pe_tables.awk" <<<"$headers"); then
    fail "objdump's export and import tables not understood: $tables"
    tables=""
fi
fact() { awk -v k="$1" '$1 == k { $1 = ""; sub(/^ /, ""); print }' <<<"$tables"; }

same "the export table's name" "$(fact name)" Vorpan.dll

same exports "$(fact export | sort -n)" $'1 GetFunctionInfo\n2 DoProcess'
# Nor any export by ordinal alone: the address table holds these two and no more.
addressed=$(fact address | awk '{ print $1 }' | sort -n | tr '\n' ' ')
[ "$addressed" = "1 2 " ] || fail "the export address table has the ordinals ${addressed:-(none)}, expected 1 2"

imports=$(fact library | tr '[:lower:]' '[:upper:]' | sort -u)
others=$(grep -vxE '|KERNEL32.DLL|USER32.DLL' <<<"$imports" || true)
[ -z "$others" ] || fail "imports ${others//$'\n'/ }"

members=$(fact import | awk '{ print $2 }')
heap='HeapAlloc|HeapReAlloc|HeapFree|HeapCreate|GetProcessHeap|LocalAlloc|LocalReAlloc|GlobalAlloc|GlobalReAlloc|VirtualAlloc|VirtualAllocEx|malloc|calloc|realloc|free'
heapy=$(grep -xE "$heap" <<<"$members" || true)
[ -z "$heapy" ] || fail "imports the heap function(s) ${heapy//$'\n'/ }"
[ -n "$members" ] || fail "no imported functions found"

# The host calls both exports with the Windows convention: the callee removes the arguments, 12 bytes
# for GetFunctionInfo and 4 for DoProcess. The first return from each export's address says which.
image_base=$(awk '/^ImageBase/ { print $2; exit }' <<<"$headers")
# An export's code from its address up to its first return.
export_code() {
    local rva start
    rva=$(fact address | awk -v o="$1" '$1 == o { print $2; exit }')
    [ -n "$rva" ] || return 0
    start=$(printf '0x%x' $((0x$image_base + 0x$rva)))
    LC_ALL=C "$objdump" -d --start-address="$start" --stop-address=$((start + 4096)) "$dll" |
        awk '!done && /^ *[0-9a-f]+:\t/ { print; done = /\tret/ }'  # read to the end: objdump gets no SIGPIPE
}
while read -r ordinal want; do
    code=$(export_code "$ordinal")
    [ -n "$code" ] || { fail "no code for export @$ordinal"; continue; }
    ret=$(awk '/\tret/ { sub(/.*\tret[lw]?[ \t]*/, ""); print ($0 == "" ? "(none)" : $0) }' <<<"$code")
    [ "$ret" = "$want" ] || fail "export @$ordinal returns with 'ret ${ret:-?}', expected 'ret $want'"
done <<<$'1 $0xc\n2 $0x4'

# The version word GetFunctionInfo gives the host is a constant its code stores with one 16-bit move.
major=0 minor=0
if [[ $version =~ ^([0-9]+)\.([0-9][0-9])$ ]]; then
    major=${BASH_REMATCH[1]} minor=$((10#${BASH_REMATCH[2]}))
else
    fail "version '$version' is not major.minor with two digits"
fi
want_word=$((major * 100 + minor))
words=$(export_code 1 | awk '/\tmovw +\$0x[0-9a-f]+,\(/ { sub(/.*\tmovw +\$/, ""); sub(/,.*/, ""); print }')
[ "$(wc -w <<<"$words")" = 1 ] && [ $((words)) = "$want_word" ] ||
    fail "GetFunctionInfo stores the version word(s) '${words//$'\n'/ }', expected one store of $want_word"

# The resources as windres reads them back from the image: dialog 101 in Japanese with its six controls
# in tab order, and the version resource's numbers and texts.
resources=$(LC_ALL=C "$windres" -i "$dll" -O rc 2>&1) || fail "windres cannot read the resources: $resources"
dialog=$(awk '/^LANGUAGE/ { lang = $0 } /^101 DIALOG/ { d = 1; print lang; next }
              d && /^END/ { exit } d && /^  [A-Z]+ / { n = split($0, f, ", "); print f[n - 5] }' <<<"$resources")
same "dialog 101 (language, control ids)" "$dialog" $'LANGUAGE 17, 1\n1\n2\n1000\n65535\n1001\n1002'
for key in FILEVERSION PRODUCTVERSION; do
    numbers=$(awk -v k="$key" '$1 == k { $1 = ""; sub(/^ /, ""); print; exit }' <<<"$resources")
    [ "$numbers" = "$major, $minor, 0, 0" ] || fail "$key is '$numbers', expected '$major, $minor, 0, 0'"
done
for key in FileVersion ProductVersion; do
    text=$(awk -v k="\"$key\"," '$1 == "VALUE" && $2 == k { print $3; exit }' <<<"$resources")
    [ "$text" = "\"$version\"" ] || fail "$key is '$text', expected '\"$version\"'"
done

# The readme: the version in its header and in its history, dated there by hand, and Shift_JIS lines of
# 79 bytes at most, a full-width character counting two columns as it takes two bytes: a line of 80
# columns fills an 80-column console, which then adds an empty line after it.
told=$(grep -m1 -o 'Version [0-9.]*' "$readme" || true)
[ "$told" = "Version $version" ] || fail "$readme tells '${told:-no version}', expected 'Version $version'"
LC_ALL=C awk -v want="Version $version" '/^  [0-9][0-9][0-9][0-9]\/[0-9][0-9]\/[0-9][0-9]  / &&
    substr($0, 15) == want { found = 1 } END { exit !found }' "$readme" ||
    fail "$readme has no history entry '  YYYY/MM/DD  Version $version'"
# The copyright line is written by hand three times: in the readme, the licence and the DLL's
# self-description.
copyright=$(grep -m1 -o 'Copyright (C) [0-9]* VORPAN project' "$readme" || true)
licence=$(dirname "$0")/../LICENSE
if [ -z "$copyright" ]; then
    fail "$readme has no line 'Copyright (C) YEAR VORPAN project'"
else
    grep -aqF "$copyright" "$dll" || fail "the DLL does not tell '$copyright' as $readme does"
    grep -qiF "$copyright" "$licence" || fail "$licence does not tell '$copyright' as $readme does"
fi
if sjis=$(iconv -f UTF-8 -t CP932 "$readme"); then
    wide=$(LC_ALL=C awk 'length($0) >= 80 { print NR ": " length($0) " columns" }' <<<"$sjis")
    [ -z "$wide" ] || fail "$readme has lines of 80 columns or more:
$wide"
else
    fail "$readme does not convert to Shift_JIS"
fi

size=$(stat -c %s "$dll")
[ "$size" -le 16384 ] || fail "$size bytes, more than 16 KiB"

[ "$failures" -eq 0 ] || { echo "$dll: $failures check(s) failed"; exit 1; }
echo "$dll: PE32 i386 Vorpan.dll, version $version, $size bytes, dialog 101, exports GetFunctionInfo @1 (ret \$0xc) and DoProcess @2 (ret \$0x4), imports:"
echo "$imports"
