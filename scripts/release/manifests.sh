# The winget and Scoop manifests of a release, filled in from res/version.h,
# the zip's hash and the address it is downloaded from. Sourced by
# scripts/release.sh after scripts/lib/session.sh; do not run it.

# No licence has been chosen for Vorrel yet.
VORREL_LICENSE=Proprietary
VORREL_SUMMARY="Push-to-talk for the Pelorin Voice Changer"

# The text of a #define in res/version.h.
vorrel_version_h() {
    sed -n "s/^#define $1 \"\([^\"]*\)\".*/\1/p" "$VORREL_ROOT/res/version.h"
}

# Prints the folder the release's files are downloaded from: the address
# given, else the release folder of an origin remote on GitHub, else nothing.
# Fails on an address that is not a plain https one.
vorrel_download_url() {
    local url=$1 version=$2 origin
    if [ -z "$url" ]; then
        # The ceiling keeps a copy inside another checkout from taking its origin.
        origin=$(GIT_CEILING_DIRECTORIES=${VORREL_ROOT%/*} git -C "$VORREL_ROOT" remote get-url origin 2>/dev/null) ||
            return 0
        origin=${origin%/}
        origin=${origin%.git}
        if [[ $origin =~ ^(https://github\.com/|ssh://git@github\.com/|git@github\.com:)([^/]+/[^/]+)$ ]]; then
            echo "https://github.com/${BASH_REMATCH[2]}/releases/download/v$version"
        fi
        return 0
    fi
    while [[ $url == */ ]]; do url=${url%/}; done
    # Only characters that YAML, JSON and Scoop's $version read as they are.
    if ! [[ $url =~ ^https://[A-Za-z0-9.-]+(:[0-9]+)?(/[A-Za-z0-9._~%+,;=:@-]+)*$ ]]; then
        vorrel_log "refused --download-url '$1': want an https://host/folder address, without spaces, quotes, ?, # or \$"
        return 1
    fi
    echo "$url"
}

# Writes template $1 to $2, each @name@ replaced by the variable of that name;
# a line whose variable is empty is left out.
_vorrel_fill() {
    local edits=() name value
    for name in $(grep -o '@[a-z0-9_]*@' "$1" | tr -d @ | sort -u); do
        value=${!name}
        if [ -n "$value" ]; then
            edits+=(-e "s|@$name@|$(printf '%s' "$value" | sed 's/[\\&|]/\\&/g')|g")
        else
            edits+=(-e "/@$name@/d")
        fi
    done
    sed "${edits[@]}" "$1" >"$2"
}

# Writes winget/ and scoop/ beside the zip, for the zip downloaded from the
# folder url.
vorrel_write_manifests() {
    local zip=$1 url=$2 dist templates
    dist=$(dirname "$zip")
    templates=$(dirname "${BASH_SOURCE[0]}")
    # What the templates name: _vorrel_fill reads each by its name.
    local version company product copyright exe
    version=$(vorrel_version_h VORREL_VERSION_TEXT)
    company=$(vorrel_version_h VORREL_COMPANY_NAME)
    product=$(vorrel_version_h VORREL_PRODUCT_NAME)
    copyright=$(vorrel_version_h VORREL_COPYRIGHT)
    exe=$(vorrel_version_h VORREL_EXE_NAME)
    local short_name=${product%% *} command=${exe%.exe} license=$VORREL_LICENSE summary=$VORREL_SUMMARY
    local package_id=${company// /}.$short_name
    local zip_url=$url/${zip##*/} zip_sha256
    zip_sha256=$(sha256sum "$zip")
    zip_sha256=${zip_sha256%% *}
    local zip_sha256_upper=${zip_sha256^^} zip_url_pattern=${zip_url//"$version"/\$version}

    local homepage release_notes_url='' checkver
    if [[ $url =~ ^(https://github\.com/[^/]+/[^/]+)/releases/download/([^/]+)$ ]]; then
        homepage=${BASH_REMATCH[1]}
        release_notes_url=$homepage/releases/tag/${BASH_REMATCH[2]}
        checkver='"github"'
    else
        # Elsewhere the page above the version's folder is taken to link the
        # newest zip by name.
        homepage=$url
        if [[ ${url#https://} == */* && ${url##*/} == *"$version"* ]]; then homepage=${url%/*}; fi
        checkver='{ "url": "'"$homepage"'", "regex": "vorrel-([\\d.]+)-x64\\.zip" }'
    fi

    mkdir -p "$dist/winget" "$dist/scoop"
    _vorrel_fill "$templates/winget.yaml.in" "$dist/winget/$package_id.yaml"
    _vorrel_fill "$templates/winget.installer.yaml.in" "$dist/winget/$package_id.installer.yaml"
    _vorrel_fill "$templates/winget.locale.en-US.yaml.in" "$dist/winget/$package_id.locale.en-US.yaml"
    _vorrel_fill "$templates/scoop.json.in" "$dist/scoop/$command.json"
}
