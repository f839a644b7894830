#!/usr/bin/env bash
# import_check.sh OBJDUMP DLL ALLOWED EXPORTS_DEF MAX_BYTES: the DLL imports
# exactly the functions ALLOWED lists ("DLL function" lines, DLL names
# compared without regard to case): nothing outside the list, and nothing the
# list names that the DLL no longer imports, so the list says what the DLL
# needs today and a function coming back shows. It exports exactly the names
# EXPORTS_DEF lists, and it is at most MAX_BYTES long. ALLOWED holds only
# functions that Windows Vista has (and no MinGW runtime DLL); anything newer
# is looked up at run time instead.
set -u
objdump="$1" dll="$2" allowed="$3" exports_def="$4" max_bytes="$5"
failures=0
fail() { echo "import_check: $*" >&2; failures=$((failures + 1)); }

imports="$("$objdump" -p "$dll" | sed -n '/The Import Tables/,/The Export Tables/p' |
  awk '/DLL Name:/ { name = tolower($3); next }
       /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print name " " $3 }' | sort -u)"
[ -n "$imports" ] || { echo "import_check: no imports read from $dll" >&2; exit 1; }
list="$(grep -v '^#' "$allowed" | awk 'NF { print tolower($1) " " $2 }' | sort -u)"
unexpected="$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$list"))"
[ -z "$unexpected" ] || fail "$dll imports functions outside $allowed:" $'\n'"$(sed 's/^/  /' <<<"$unexpected")"
unused="$(comm -13 <(printf '%s\n' "$imports") <(printf '%s\n' "$list"))"
[ -z "$unused" ] || fail "$allowed lists functions $dll no longer imports (take them out):" $'\n'"$(sed 's/^/  /' <<<"$unused")"
[ -n "$unexpected$unused" ] || echo "import_check: $(printf '%s\n' "$imports" | wc -l) imports, exactly those listed"

exported="$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  awk '/^\t\[ *[0-9]+\] / { print $NF }' | sort)"
expected="$(sed -n '/^EXPORTS/,$p' "$exports_def" | awk 'NR > 1 && NF { print $1 }' | sort)"
if [ "$exported" != "$expected" ]; then
  fail "$dll exports" $exported "instead of" $expected
else
  echo "import_check: exports exactly" $exported
fi

size="$(stat -c %s "$dll")"
if [ "$size" -gt "$max_bytes" ]; then
  fail "$dll is $size bytes, over the limit of $max_bytes"
else
  echo "import_check: $size bytes, within the limit of $max_bytes"
fi
[ "$failures" -eq 0 ]
