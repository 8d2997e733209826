#!/usr/bin/env bash
# Installs what is missing, builds vorrel.exe alone in build-release/ and
# writes dist/vorrel-<version>-x64.zip (the exe and README.txt), the exe and
# dist/SHA256SUMS. The same commit gives the same bytes in any folder.
#   bash scripts/release.sh
set -euo pipefail
source "$(dirname "$0")/lib/session.sh"

vorrel_install_packages

# The resource script takes the version from here too.
version=$(sed -n 's/^#define VORREL_VERSION_TEXT "\([^"]*\)".*/\1/p' "$VORREL_ROOT/res/version.h")
[ -n "$version" ] || {
    vorrel_log "no VORREL_VERSION_TEXT in res/version.h"
    exit 1
}
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
cat "$dist/SHA256SUMS"
