#!/bin/sh
# Installs the reader packages pinned in package-lock.json into DEST (a folder
# of the build tree), with npm's download cache beside them. A later run with
# the same lock file finds them installed and fetches nothing. A failed
# install is an error: the tests that need the readers must not pass without
# them.
#   install.sh DEST
set -eu
here=$(cd "$(dirname "$0")" && pwd)
dest=${1:?usage: install.sh DEST}

for tool in node npm; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "install.sh: $tool is missing (scripts/deps.sh installs it)" >&2
        exit 1
    fi
done

mkdir -p "$dest"
if [ -d "$dest/node_modules" ] && cmp -s "$here/package-lock.json" "$dest/installed-lock.json"; then
    exit 0
fi
rm -f "$dest/installed-lock.json"
cp "$here/package.json" "$here/package-lock.json" "$dest/"
if ! npm ci --prefix "$dest" --cache "$dest/npm-cache" --no-audit --no-fund \
    --fetch-retries=2 --fetch-timeout=60000; then
    echo "install.sh: npm could not install the reader packages into $dest" >&2
    exit 1
fi
cp "$here/package-lock.json" "$dest/installed-lock.json"
