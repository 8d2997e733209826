#!/usr/bin/env bash
# Makes the release twice from the same sources in two folders with different
# absolute paths and checks that both give the same bytes and the zip holds
# exactly the exe and README.txt.
#   bash tests/release_reproducible.sh <source root> <work folder>
set -euo pipefail
root=$1
work=$2
rm -rf "$work"
first=$work/a/vorrel
second=$work/second-copy/deeper/v

version=$(grep -o 'VORREL_VERSION_TEXT "[^"]*"' "$root/res/version.h" | cut -d'"' -f2) || {
    echo "no VORREL_VERSION_TEXT in res/version.h"
    exit 1
}
zip_name=vorrel-$version-x64.zip

for copy in "$first" "$second"; do
    mkdir -p "$copy"
    # The sources as git sees them, uncommitted changes included, no builds.
    (cd "$root" && git ls-files -z --cached --others --exclude-standard) |
        while IFS= read -r -d '' file; do
            if [ -e "$root/$file" ]; then printf '%s\0' "$file"; fi
        done | (cd "$root" && xargs -0 cp --parents -t "$copy")
    bash "$copy/scripts/release.sh" >"$copy.log" 2>&1 || {
        cat "$copy.log"
        exit 1
    }
done

status=0
for file in vorrel.exe "$zip_name" SHA256SUMS; do
    if ! cmp "$first/dist/$file" "$second/dist/$file"; then
        cmp -l "$first/dist/$file" "$second/dist/$file" | head -5 || true
        status=1
    fi
done

entries=$(cd "$first/dist" && cmake -E tar tf "$zip_name")
if [ "$entries" != $'vorrel.exe\nREADME.txt' ]; then
    echo "$zip_name holds:"
    echo "$entries"
    status=1
fi
# What is packed and listed is what was built.
unpacked=$work/unpacked
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$first/dist/$zip_name")
cmp "$unpacked/vorrel.exe" "$first/build-release/bin/vorrel.exe" || status=1
(cd "$first/dist" && sha256sum --check --quiet SHA256SUMS) || status=1

[ $status -eq 0 ] && rm -rf "$work"
exit $status
