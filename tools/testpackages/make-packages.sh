#!/usr/bin/env bash
# tools/testpackages/make-packages.sh MSIBUILD FOLDER: packages another writer (msitools) makes, which the
# open must read whole: 3-byte string references (over 65,536 strings), a table of 45 columns, an empty
# table, code page 65001, `_Streams` rows and a 50 MB stream.
set -euo pipefail
msibuild=$1 folder=$2
mkdir -p "$folder"
cd "$folder"
rm -f strings-and-columns.msi streams.msi

{
    printf 'Key'; for i in $(seq 1 44); do printf '\tC%d' "$i"; done; printf '\n'
    printf 's72'; for i in $(seq 1 44); do if ((i % 2)); then printf '\tS64'; else printf '\tI4'; fi; done
    printf '\nWide\tKey\n'
    for row in 0 1 2; do
        printf 'row%d' "$row"
        for i in $(seq 1 44); do
            if ((i % 2)); then printf '\tt%d_%d' "$row" "$i"; else printf '\t%d' $((row * 100 + i)); fi
        done
        printf '\n'
    done
} >Wide.idt
{
    printf 'Key\tValue\ns72\tL255\nMany\tKey\n'
    seq -f 'k%06g' 0 69999 | awk '{ printf "%s\tvalue %d\n", $0, NR - 1 }'
} >Many.idt
printf 'Key\tNumber\ns72\tI2\nEmpty\tKey\n' >Empty.idt
printf 'Property\tValue\ns72\tl0\nProperty\tProperty\nProductName\t\xc5\xbdlu\xc5\xa5ou\xc4\x8dk\xc3\xbd k\xc5\xaf\xc5\x88 \xe2\x98\x83\n' >Property.idt
printf '\n\n65001\t_ForceCodepage\n' >_ForceCodepage.idt
"$msibuild" strings-and-columns.msi -i _ForceCodepage.idt -i Wide.idt -i Many.idt -i Empty.idt -i Property.idt

head -c 3000 /dev/zero | tr '\0' 's' >small.bin
head -c 52428800 /dev/zero | tr '\0' 'x' >big.bin
"$msibuild" streams.msi -i Empty.idt -a Stream.One small.bin -a Big big.bin
rm -f small.bin big.bin ./*.idt
