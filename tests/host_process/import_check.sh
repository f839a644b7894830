#!/usr/bin/env bash
# import_check.sh OBJDUMP DLL ALLOWED EXPORTS_DEF: every function the DLL
# imports must be listed in ALLOWED ("DLL function" lines, DLL names compared
# without regard to case), and it must export exactly the names EXPORTS_DEF
# lists. ALLOWED holds only functions that Windows Vista has (and no MinGW
# runtime DLL); anything newer is looked up at run time instead.
set -u
objdump="$1" dll="$2" allowed="$3" exports_def="$4"
imports="$("$objdump" -p "$dll" | sed -n '/The Import Tables/,/The Export Tables/p' |
  awk '/DLL Name:/ { name = tolower($3); next }
       /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print name " " $3 }' | sort -u)"
[ -n "$imports" ] || { echo "import_check: no imports read from $dll" >&2; exit 1; }
list="$(grep -v '^#' "$allowed" | awk 'NF { print tolower($1) " " $2 }' | sort -u)"
unexpected="$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$list"))"
if [ -n "$unexpected" ]; then
  echo "import_check: $dll imports functions outside $allowed:" >&2
  printf '  %s\n' $unexpected >&2
  exit 1
fi
echo "import_check: $(printf '%s\n' "$imports" | wc -l) imports, all allowed"

exported="$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  awk '/^\t\[ *[0-9]+\] / { print $NF }' | sort)"
expected="$(sed -n '/^EXPORTS/,$p' "$exports_def" | awk 'NR > 1 && NF { print $1 }' | sort)"
if [ "$exported" != "$expected" ]; then
  echo "import_check: $dll exports" $exported "instead of" $expected >&2
  exit 1
fi
echo "import_check: exports exactly" $exported
