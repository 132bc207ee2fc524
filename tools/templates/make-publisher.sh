#!/usr/bin/env bash
# make-publisher.sh DESCRIPTION FILES OUTPUT: builds with msibuild a package that installs template files
# (taken from the folder FILES) and publishes each as a qualified component. The installed files are laid
# beside OUTPUT, uncompressed, where the package's source folder is.
set -euo pipefail
description=$1 files=$2 output=$3
out_dir=$(dirname "$output")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

product=() folder="" entries=()
while IFS=$'\t' read -r kind rest; do
  case "$kind" in
    ''|'#'*) ;;
    product) IFS=$'\t' read -r -a product <<< "$rest" ;;
    folder) folder=$rest ;;
    entry) entries+=("$rest") ;;
    *) echo "$description: unknown line '$kind'" >&2; exit 1 ;;
  esac
done < "$description"
[ ${#product[@]} -eq 6 ] && [ -n "$folder" ] && [ ${#entries[@]} -gt 0 ] ||
  { echo "$description: needs a product line, a folder line and entries" >&2; exit 1; }
name=${product[0]} product_code=${product[1]} package_code=${product[2]}
version=${product[3]} manufacturer=${product[4]} upgrade_code=${product[5]}

tab=$'\t'
idt() { # idt NAME "columns" "types" "keys" then rows on stdin
  { printf '%s\n%s\n%s\n' "$2" "$3" "$1$tab$4"; cat; } > "$work/$1.idt"
}

printf 'TARGETDIR\t\tSourceDir\nProgramFiles64Folder\tTARGETDIR\t.\nINSTALLDIR\tProgramFiles64Folder\t%s:.\n' "$folder" |
  idt Directory "Directory${tab}Directory_Parent${tab}DefaultDir" "s72${tab}S72${tab}l255" Directory

components="" files_rows="" features="" publish=""
n=0
for entry in "${entries[@]}"; do
  IFS=$'\t' read -r category qualifier file source component_id app_data <<< "$entry"
  n=$((n + 1))
  cp -f "$files/$source" "$out_dir/$file"
  size=$(stat -c %s "$out_dir/$file")
  short="F$n.${file##*.}"
  components+="C$n$tab{$component_id}${tab}INSTALLDIR${tab}256$tab${tab}File$n"$'\n'
  files_rows+="File$n${tab}C$n$tab${short^^}|$file$tab$size$tab$tab${tab}0$tab$n"$'\n'
  features+="Templates${tab}C$n"$'\n'
  publish+="{$category}$tab$qualifier${tab}C$n$tab$app_data${tab}Templates"$'\n'
done
printf '%s' "$components" | idt Component "Component${tab}ComponentId${tab}Directory_${tab}Attributes${tab}Condition${tab}KeyPath" \
  "s72${tab}S38${tab}s72${tab}i2${tab}S255${tab}S72" Component
printf '%s' "$files_rows" | idt File "File${tab}Component_${tab}FileName${tab}FileSize${tab}Version${tab}Language${tab}Attributes${tab}Sequence" \
  "s72${tab}s72${tab}l255${tab}i4${tab}S72${tab}S20${tab}I2${tab}i2" File
printf '%s' "$features" | idt FeatureComponents "Feature_${tab}Component_" "s38${tab}s72" "Feature_${tab}Component_"
printf '%s' "$publish" | idt PublishComponent "ComponentId${tab}Qualifier${tab}Component_${tab}AppData${tab}Feature_" \
  "s38${tab}s255${tab}s72${tab}L0${tab}s38" "ComponentId${tab}Qualifier${tab}Component_"
printf 'Templates\t\t%s\t\t1\t1\tINSTALLDIR\t0\n' "$name" |
  idt Feature "Feature${tab}Feature_Parent${tab}Title${tab}Description${tab}Display${tab}Level${tab}Directory_${tab}Attributes" \
    "s38${tab}S38${tab}L64${tab}L255${tab}I2${tab}i2${tab}S72${tab}i2" Feature
printf '1\t%s\t\t\t\t\n' "$n" |
  idt Media "DiskId${tab}LastSequence${tab}DiskPrompt${tab}Cabinet${tab}VolumeLabel${tab}Source" \
    "i2${tab}i2${tab}L64${tab}S255${tab}S32${tab}S72" DiskId
printf 'ProductCode\t{%s}\nProductName\t%s\nProductVersion\t%s\nManufacturer\t%s\nProductLanguage\t1033\nUpgradeCode\t{%s}\nALLUSERS\t1\n' \
  "$product_code" "$name" "$version" "$manufacturer" "$upgrade_code" |
  idt Property "Property${tab}Value" "s72${tab}l0" Property
# The standard sequence; UnpublishComponents makes an uninstall take the published entries away too.
cat <<'SEQ' | idt InstallExecuteSequence "Action${tab}Condition${tab}Sequence" "s72${tab}S255${tab}I2" Action
CostInitialize		800
FileCost		900
CostFinalize		1000
InstallValidate		1400
InstallInitialize		1500
ProcessComponents		1600
UnpublishComponents		1700
UnpublishFeatures		1800
RemoveFiles		3500
InstallFiles		4000
RegisterUser		6000
RegisterProduct		6100
PublishComponents		6200
PublishFeatures		6300
PublishProduct		6400
InstallFinalize		6600
SEQ

rm -f "$output.tmp"
msibuild "$output.tmp" -s "$name" "$manufacturer" "x64;1033" "{$package_code}"
for table in "$work"/*.idt; do
  msibuild "$output.tmp" -i "$table"
done
mv -f "$output.tmp" "$output"
