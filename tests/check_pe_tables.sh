#!/usr/bin/env bash
# Feeds `objdump -p` texts of one DLL, as each binutils release lays them out, to the parser that the
# checks of the shipped DLL use (pe_tables.awk), and expects the same export and import tables from
# every one; then texts in a layout none of them has, which must fail by the line that changed.
# Usage: check_pe_tables.sh FIXTURE_DIR    (FIXTURE_DIR/*.txt: objdump -p of the same VORPAN.DLL)
set -uo pipefail

parser=$(dirname "$0")/../scripts/pe_tables.awk
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
parse() { LC_ALL=C awk -f "$parser"; }

texts=("$1"/*.txt)
[ -f "${texts[0]}" ] || { echo "FAIL: no objdump texts in $1"; exit 1; }
first=""
for text in "${texts[@]}"; do
    if ! tables=$(parse <"$text"); then
        fail "$(basename "$text"): $tables"
        continue
    fi
    # What the DLL these texts come from holds, told by hand: its name, both exports at their addresses
    # and every DLL it imports from with the number of functions.
    summary=$(awk '$1 == "name" || $1 == "export" || $1 == "address"
                   $1 == "import" { count[$2]++ } $1 == "library" { order[++n] = $2 }
                   END { for (i = 1; i <= n; i++) print order[i], count[order[i]] }' <<<"$tables" | LC_ALL=C sort)
    expected=$'KERNEL32.dll 16\nUSER32.dll 36\naddress 1 101a\naddress 2 105f\nexport 1 GetFunctionInfo\nexport 2 DoProcess\nname Vorpan.dll'
    [ "$summary" = "$expected" ] || fail "$(basename "$text") reads as:"$'\n'"$summary"$'\n'"expected:"$'\n'"$expected"
    if [ -z "$first" ]; then
        first=$text reference=$tables
    elif [ "$tables" != "$reference" ]; then
        fail "$(basename "$text") and $(basename "$first") read as different tables:
$(diff <(echo "$reference") <(echo "$tables"))"
    fi
done

# A layout of a later binutils: one line of each table changed (first match of the sed expression) or
# removed must stop the reading with that line, or with the count it leaves short.
newest=${texts[-1]}
while IFS='|' read -r edit want; do
    [ -z "$edit" ] && continue
    if out=$(sed "$edit" "$newest" | parse); then
        fail "'$edit' on $(basename "$newest") still reads as tables"
        continue
    fi
    if [[ $want == line* ]]; then
        changed=$(diff <(sed "$edit" "$newest") "$newest" | awk -F'[acd,]' '/^[0-9]/ { print $1; exit }')
        want="line $changed, in ${want#line }, is in no layout known here: $(sed -n "${changed}p" <(sed "$edit" "$newest"))"
    fi
    [[ $out == *"$want"* ]] || fail "'$edit' gives: $out"$'\n'"expected: $want"
done <<'EOF'
0,/Ordinal  Hint  Member-Name/s//Ordinal  Hint  Name/|line the column headings of KERNEL32.dll's imports
s/  <none>  0022  CallWindowProcA/  0022  CallWindowProcA/|line USER32.dll's imports
s/ Forward  DLL / Fwd  DLL /|line the import directory
s/^Ordinal Base .*/Ordinal Base:\t1/|line the export directory
s/+base\[   2\] 0000105f Export RVA/+base[   2] 0000105f Forwarder RVA/|line the export address table
s/+base\[   2\]  0000 DoProcess/+base[   3]  0000 DoProcess/|line the export name table
/+base\[   1\] 0000101a Export RVA/d|1 address table and 2 name table entries read, the export directory tells 00000002 and 00000002
s/^The Import Tables/The Imports/|in none of the import tables, is in no layout known here:
EOF

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "${#texts[@]} layouts read as the same tables: $(basename -a "${texts[@]}" | paste -sd ' ')"
