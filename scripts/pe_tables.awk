# Reads the export and import tables out of `objdump -p` of a PE image and prints them in a layout of
# our own, one fact a line:
#   name Vorpan.dll                      the export table's name
#   address ORDINAL RVA                  an entry of the export address table, RVA in hex without zeros
#   export ORDINAL NAME                  an entry of the name table
#   library DLL                          an imported DLL
#   import DLL FUNCTION                  a function imported from it by name
# binutils has changed this text between releases (2.40 and 2.44 both read here): each table's lines are
# read as one of the layouts known here or not at all. The first line inside a table that is none of
# them stops the reading with its number and text, and nothing else is printed, so a new layout shows as
# that line and never as a table read short.

function norm(s) {
    gsub(/[ \t]+/, " ", s)
    sub(/^ /, "", s)
    sub(/ $/, "", s)
    gsub(/\[ +/, "[", s)  # "[   1]" is one field
    return s
}
function unread(where) {
    if (!failed) printf "objdump -p line %d, in %s, is in no layout known here: %s\n", NR, where, $0
    failed = 1
    exit 1
}
function keep(fact) { facts[++count] = fact }
function hex(s) { return s ~ /^[0-9a-f]+$/ }
function dec(s) { return s ~ /^[0-9]+$/ }
function hexvalue(s,    v, k) {
    v = 0
    for (k = 1; k <= length(s); k++) v = v * 16 + index("0123456789abcdef", substr(s, k, 1)) - 1
    return v
}
function rva(s) { sub(/^0+/, "", s); return s == "" ? "0" : s }
# "[N]" and "+base[N]" give N, or -1.
function bracketed(s, prefix) {
    if (substr(s, 1, length(prefix) + 1) != prefix "[" || substr(s, length(s)) != "]") return -1
    s = substr(s, length(prefix) + 2, length(s) - length(prefix) - 2)
    return dec(s) ? s + 0 : -1
}

{ line = norm($0); n = split(line, f, " ") }

# The import tables: the directory's own lines, then per DLL its name, column headings and members. A
# DLL's list ends at an empty line or at the directory's next entry.
/^The Import Tables / { section = "imports"; imports_seen = 1; next }
section == "imports" && /^[^ \t]/ { section = "" }
section == "imports" {
    if (line == "") { dll = ""; layout = ""; next }
    if (line == "vma: Hint Time Forward DLL First" || line == "Table Stamp Chain Name Thunk") next
    if (n == 6 && hex(f[1]) && hex(f[2]) && hex(f[3]) && hex(f[4]) && hex(f[5]) && hex(f[6])) {
        dll = ""; layout = ""; next
    }
    if (f[1] == "DLL" && f[2] == "Name:" && n == 3) { dll = f[3]; layout = ""; keep("library " dll); next }
    if (dll != "" && layout == "") {
        # 2.40: the hint-name entry's address, the hint in decimal, the name.
        if (line == "vma: Hint/Ord Member-Name Bound-To") { layout = "2.40"; next }
        # 2.44: the import address table entry's address, no ordinal, the hint in hex, the name.
        if (line == "vma: Ordinal Hint Member-Name Bound-To") { layout = "2.44"; next }
        unread("the column headings of " dll "'s imports")
    }
    if (layout == "2.40" && n == 3 && hex(f[1]) && dec(f[2]) && f[3] != "<none>") { keep("import " dll " " f[3]); next }
    if (layout == "2.44" && n == 4 && hex(f[1]) && f[2] == "<none>" && hex(f[3]) && f[4] != "<none>") {
        keep("import " dll " " f[4]); next
    }
    unread(dll != "" ? dll "'s imports" : "the import directory")
}
# Imports told anywhere else would go unchecked.
section != "imports" && f[1] == "DLL" && f[2] == "Name:" { unread("none of the import tables") }

# The export tables: the directory's fields, the address table by index, the name table by ordinal. The
# name table's empty line ends them.
/^The Export Tables / { section = "exports"; exports_seen = 1; part = ""; next }
section == "exports" && /^[^ \t]/ {
    part = ""
    if (f[1] == "Export" && f[2] == "Flags" || f[1] == "Time/Date" || f[1] == "Major/Minor") next
    if (f[1] == "Name" && n == 3 && hex(f[2])) { keep("name " f[3]); next }
    if (f[1] == "Ordinal" && f[2] == "Base" && n == 3 && dec(f[3])) { base = f[3] + 0; base_seen = 1; next }
    if (line == "Number in:") { part = "counts"; next }
    if (line == "Table Addresses") { part = "table addresses"; next }
    if (line ~ /^Export Address Table -- Ordinal Base [0-9]+$/) { part = "address table"; next }
    if (line == "[Ordinal/Name Pointer] Table" || line ~ /^\[Ordinal\/Name Pointer\] Table -- Ordinal Base [0-9]+$/) {
        part = "name table"; names_seen = 1; next
    }
    unread("the export directory")
}
section == "exports" {
    if (line == "") { if (part == "name table") section = ""; part = ""; next }
    if (!base_seen && part ~ / table$/) unread("the export tables before their line 'Ordinal Base N'")
    if (part == "counts") {
        if (line ~ /^Export Address Table [0-9a-f]+$/) { addresses_told = f[4]; next }
        if (line ~ /^\[Name Pointer\/Ordinal\] Table [0-9a-f]+$/) { names_told = f[4]; next }
    } else if (part == "table addresses") {
        if (line ~ /^(Export Address Table|Name Pointer Table|Ordinal Table) [0-9a-f]+$/) next
    } else if (part == "address table") {
        if (line == "Ordinal Address Type") next  # 2.44's headings
        i = bracketed(f[1], ""); o = bracketed(f[2], "+base")
        if (n == 5 && i >= 0 && o == i + base && hex(f[3]) && f[4] == "Export" && f[5] == "RVA") {
            keep("address " o " " rva(f[3])); addresses++; next
        }
    } else if (part == "name table") {
        if (line == "Ordinal Hint Name") next  # 2.44's headings
        i = bracketed(f[1], "")
        # 2.40: "[index] name"; 2.44: "[index] +base[ordinal] hint name".
        if (n == 2 && i >= 0) { keep("export " (i + base) " " f[2]); names++; next }
        if (n == 4 && i >= 0 && bracketed(f[2], "+base") == i + base && hex(f[3])) {
            keep("export " (i + base) " " f[4]); names++; next
        }
    }
    unread(part == "" ? "the export directory" : "the export " part)
}

END {
    if (failed) exit 1
    if (!imports_seen) { print "objdump -p has no line 'The Import Tables ...'"; exit 1 }
    if (!exports_seen) { print "objdump -p has no line 'The Export Tables ...'"; exit 1 }
    if (!names_seen) { print "objdump -p has no export name table ('[Ordinal/Name Pointer] Table')"; exit 1 }
    # Counts read against the counts the directory tells: no entry was passed over.
    if (addresses_told == "" || names_told == "" || addresses != hexvalue(addresses_told) ||
        names != hexvalue(names_told)) {
        printf "objdump -p: %d address table and %d name table entries read, the export directory tells %s and %s\n",
            addresses, names, addresses_told, names_told
        exit 1
    }
    for (k = 1; k <= count; k++) print facts[k]
}
