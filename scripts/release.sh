#!/usr/bin/env bash
# Installs what is missing, builds vorrel.exe alone in build-release/ and
# writes dist/vorrel-<version>-x64.zip (the exe and README.txt), the exe,
# dist/SHA256SUMS and, given the folder the files will be downloaded from
# (or an origin remote on GitHub), the winget and Scoop manifests in
# dist/winget/ and dist/scoop/. The same commit gives the same bytes in any
# folder.
#   bash scripts/release.sh [--download-url https://host/folder]
set -euo pipefail
source "$(dirname "$0")/lib/session.sh"
source "$(dirname "$0")/release/manifests.sh"

download_url=
while [ $# -gt 0 ]; do
    case $1 in
    --download-url)
        [ -n "${2:-}" ] || {
            vorrel_log "--download-url needs an address"
            exit 2
        }
        download_url=$2
        shift 2
        ;;
    *)
        vorrel_log "usage: bash scripts/release.sh [--download-url https://host/folder]"
        exit 2
        ;;
    esac
done

# The resource script takes the version from here too.
version=$(vorrel_version_h VORREL_VERSION_TEXT)
[ -n "$version" ] || {
    vorrel_log "no VORREL_VERSION_TEXT in res/version.h"
    exit 1
}
# Before anything is installed or removed, so that a refused address leaves
# the last release as it was.
download_url=$(vorrel_download_url "$download_url" "$version") || exit 2

vorrel_install_packages

build=$VORREL_ROOT/build-release
dist=$VORREL_ROOT/dist
zip_name=vorrel-$version-x64.zip

# Flags from the environment or an old cache would change the bytes.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS RCFLAGS
rm -rf "$build" "$dist"
vorrel_log "building vorrel.exe $version in $build"
(cd "$VORREL_ROOT" && cmake --preset mingw -B "$build" -DVORREL_BUILD_TESTS=OFF >/dev/null)
cmake --build "$build" --target vorrel -j "$(nproc)" >&2

# Fixed names, order, modes and times and no owner ids (-X), so that the zip
# depends on the two files alone. 1980 is the earliest time a zip can hold.
stage=$build/package
mkdir -p "$stage" "$dist"
cp "$build/bin/vorrel.exe" "$stage/vorrel.exe"
# CRLF, so that every Notepad shows the lines.
sed 's/\r*$/\r/' "$VORREL_ROOT/docs/README.txt" >"$stage/README.txt"
chmod 644 "$stage/vorrel.exe" "$stage/README.txt"
touch -d @315532800 "$stage/vorrel.exe" "$stage/README.txt"
(cd "$stage" && TZ=UTC0 zip -X -9 -q "$dist/$zip_name" vorrel.exe README.txt)
cp "$stage/vorrel.exe" "$dist/vorrel.exe"
(cd "$dist" && sha256sum "$zip_name" vorrel.exe >SHA256SUMS)

vorrel_log "release $version"
echo "zip:       $dist/$zip_name"
echo "checksums: $dist/SHA256SUMS"
if [ -n "$download_url" ]; then
    vorrel_write_manifests "$dist/$zip_name" "$download_url"
    echo "manifests: $dist/winget/ and $dist/scoop/, for $download_url/$zip_name"
else
    vorrel_log "no winget or Scoop manifests: give --download-url https://host/folder or an origin remote on GitHub"
fi
cat "$dist/SHA256SUMS"
