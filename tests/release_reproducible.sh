#!/usr/bin/env bash
# Makes the release twice from the same sources, in two folders with different
# absolute paths, and checks that both give the same bytes, that the zip
# holds exactly the exe and README.txt, and that the winget and Scoop
# manifests name that zip, its hash, the version and the exe in it.
#   bash tests/release_reproducible.sh <source root> <work folder>
set -euo pipefail
root=$1
work=$2
rm -rf "$work"
first=$work/a/vorrel
second=$work/second-copy/deeper/v
version=$(sed -n 's/^#define VORREL_VERSION_TEXT "\([^"]*\)".*/\1/p' "$root/res/version.h")
folder=https://github.com/vorrel-test/vorrel/releases/download/v$version
for copy in "$first" "$second"; do
    mkdir -p "$copy"
    # The sources as git sees them, uncommitted changes included, no builds.
    (cd "$root" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
        xargs -0 cp --parents -t "$copy")
done
release() {
    bash "$1/scripts/release.sh" "${@:2}" >"$1.log" 2>&1 || {
        cat "$1.log"
        exit 1
    }
}
fail() {
    echo "$*"
    status=1
}

status=0
# The first copy has no .git, so no address: no manifests, one line says so.
release "$first"
[ ! -e "$first/dist/winget" ] && [ ! -e "$first/dist/scoop" ] || fail "manifests written without an address"
[ "$(grep -c 'no winget or Scoop manifests' "$first.log")" -eq 1 ] || fail "no one-line notice of the missing address"
# The second is given the folder, with a slash that must not double; the
# first then gets the same folder from a GitHub origin, for the same zip.
release "$second" --download-url "$folder/"
git -C "$first" init -q && git -C "$first" remote add origin git@github.com:vorrel-test/vorrel.git
(
    source "$first/scripts/lib/session.sh"
    source "$first/scripts/release/manifests.sh"
    vorrel_write_manifests "$first/dist/vorrel-$version-x64.zip" "$(vorrel_download_url "" "$version")"
)
# Refused before anything is built or removed: the diff below finds the
# second's release as it was.
if bash "$second/scripts/release.sh" --download-url "http://example.org/v$version" >"$second.refused.log" 2>&1; then
    fail "an http:// address was taken"
fi

diff -r "$first/dist" "$second/dist" || status=1
zip=$second/dist/vorrel-$version-x64.zip
entries=$(cmake -E tar tf "$zip")
if [ "$entries" != $'vorrel.exe\nREADME.txt' ]; then
    printf '%s holds:\n%s\n' "$zip" "$entries"
    status=1
fi
(cd "$second/dist" && sha256sum --check --quiet SHA256SUMS) || status=1

sha=$(sha256sum "$zip")
sha=${sha%% *}
winget=("$second"/dist/winget/*.yaml)
installer=$second/dist/winget/VorrelProject.Vorrel.installer.yaml
scoop=$second/dist/scoop/vorrel.json
[ ${#winget[@]} -eq 3 ] || fail "winget manifests: ${winget[*]}"
for file in "${winget[@]}"; do
    grep -qxF "PackageVersion: $version" "$file" || fail "$file is not of version $version"
done
grep -qxF "  InstallerUrl: $folder/${zip##*/}" "$installer" || fail "winget: not the zip's address"
grep -qxF "  InstallerSha256: ${sha^^}" "$installer" || fail "winget: not the zip's hash"
grep -qxF "    \"version\": \"$version\"," "$scoop" || fail "scoop: not version $version"
grep -qxF "            \"url\": \"$folder/${zip##*/}\"," "$scoop" || fail "scoop: not the zip's address"
grep -qxF "            \"hash\": \"$sha\"" "$scoop" || fail "scoop: not the zip's hash"
for exe in "$(sed -n 's/^- RelativeFilePath: //p' "$installer")" "$(sed -n 's/^    "bin": "\(.*\)",$/\1/p' "$scoop")"; do
    grep -qxF -- "$exe" <<<"$entries" || fail "the manifests name '$exe', which the zip lacks"
done
[ $status -eq 0 ] && rm -rf "$work"
exit $status
