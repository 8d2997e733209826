#!/usr/bin/env bash
# Makes the release twice from the same sources, in two folders with different
# absolute paths, and checks that both give the same bytes and that the zip
# holds exactly the exe and README.txt.
#   bash tests/release_reproducible.sh <source root> <work folder>
set -euo pipefail
root=$1
work=$2
rm -rf "$work"
first=$work/a/vorrel
second=$work/second-copy/deeper/v
for copy in "$first" "$second"; do
    mkdir -p "$copy"
    # The sources as git sees them, uncommitted changes included, no builds.
    (cd "$root" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
        xargs -0 cp --parents -t "$copy")
    bash "$copy/scripts/release.sh" >"$copy.log" 2>&1 || {
        cat "$copy.log"
        exit 1
    }
done

status=0
for file in "$first"/dist/*; do
    cmp "$file" "$second/dist/${file##*/}" || status=1
done
zip=$(ls "$first"/dist/vorrel-*-x64.zip)
entries=$(cmake -E tar tf "$zip")
if [ "$entries" != $'vorrel.exe\nREADME.txt' ]; then
    printf '%s holds:\n%s\n' "$zip" "$entries"
    status=1
fi
(cd "$first/dist" && sha256sum --check --quiet SHA256SUMS) || status=1
[ $status -eq 0 ] && rm -rf "$work"
exit $status
