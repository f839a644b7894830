#!/usr/bin/env bash
# import_check.sh OBJDUMP DLL ALLOWED: every function the DLL imports must be
# listed in ALLOWED ("DLL function" lines, DLL names compared without regard
# to case). The list holds only functions that Windows Vista has; anything
# newer is looked up at run time instead.
set -u
objdump="$1" dll="$2" allowed="$3"
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
