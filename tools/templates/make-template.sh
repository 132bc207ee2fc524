#!/usr/bin/env bash
# make-template.sh DESCRIPTION SCHEMA_TABLES OUTPUT: builds one template database with msibuild.
# The description names the summary information and the tables; each table's columns come from its
# schema source (SCHEMA_TABLES/NAME.tsv), so templates and schema.dat never disagree on a column.
set -euo pipefail
description=$1 tables_dir=$2 output=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

summary=() tables=()
while IFS=$'\t' read -r kind a b c d; do
  case "$kind" in
    ''|'#'*) ;;
    summary) summary=("$a" "$b" "$c" "$d") ;;
    table) tables+=("$a") ;;
    *) echo "$description: unknown line '$kind'" >&2; exit 1 ;;
  esac
done < "$description"
[ ${#summary[@]} -eq 4 ] || { echo "$description: no summary line" >&2; exit 1; }

# An .idt file holds the column names, their types, then the table name and its key columns.
for table in "${tables[@]}"; do
  source="$tables_dir/$table.tsv"
  [ -f "$source" ] || { echo "$description: no schema source for $table" >&2; exit 1; }
  awk -F'\t' -v table="$table" '
    $1 == "keys"   { keys = $2; for (i = 3; i <= NF; ++i) keys = keys "\t" $i }
    $1 == "column" { names = names sep $2; types = types sep $3; sep = "\t" }
    END {
      if (keys == "" || names == "") { print "no keys or columns for " table > "/dev/stderr"; exit 1 }
      print names; print types; print table "\t" keys
    }' "$source" > "$work/$table.idt"
done

rm -f "$output.tmp"
msibuild "$output.tmp" -s "${summary[0]}" "${summary[1]}" "${summary[2]}" "${summary[3]}"
for table in "${tables[@]}"; do
  msibuild "$output.tmp" -i "$work/$table.idt"
done
mv -f "$output.tmp" "$output"
