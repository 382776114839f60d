#!/bin/bash
# Builds the page's jQuery 1.5.1 from its own sources and minifies it.
#
#   build-jquery.sh OUTPUT WORK_DIR
#
# Also writes jQuery's licence notice as jquery-MIT-LICENSE.txt in OUTPUT's folder.
#
# The registry's jquery@1.5.1 tarball is a Node wrapper whose prebuilt file reports a later
# pre-release, but it carries the 1.5.1 sources and their Makefile under package/jquery/.
# We repeat that Makefile's concatenation here (no Node dependencies of the wrapper are
# installed) and minify with the pinned minifier of package-lock.json next to this script.
# npm is asked to prefer its cache, so a machine that has built once builds offline; with
# neither cache nor registry the build stops here with npm's error.
set -euo pipefail

readonly WANTED_VERSION=1.5.1
output=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)

fail() {
    echo "build-jquery: $*" >&2
    exit 1
}

mkdir -p "$work"
cd "$work"

tarball=jquery-$WANTED_VERSION.tgz
if [ ! -s "$tarball" ]; then
    npm pack "jquery@$WANTED_VERSION" --prefer-offline --silent >/dev/null ||
        fail "npm could not fetch jquery@$WANTED_VERSION (registry unreachable and not in npm's cache)"
fi
rm -rf unpacked
mkdir unpacked
tar -xzf "$tarball" -C unpacked
src_root=unpacked/package/jquery
[ "$(tr -d '[:space:]' <"$src_root/version.txt")" = "$WANTED_VERSION" ] ||
    fail "the tarball does not carry jQuery $WANTED_VERSION sources"

cd "$src_root"
# selector.js is Sizzle with jQuery's glue spliced in, as the Makefile builds it.
sed '/EXPOSE/r src/sizzle-jquery.js' src/sizzle/sizzle.js | grep -v window.Sizzle >src/selector.js

# The base files, in the Makefile's order: the BASE_FILES list up to its last continued line.
base_files=$(awk '
    /^BASE_FILES *=/ { collecting = 1; sub(/^BASE_FILES *=/, "") }
    collecting { line = $0; continued = sub(/\\$/, "", line); print line; if (!continued) exit }
' Makefile | sed 's/\${SRC_DIR}/src/g' | tr -s ' \t' '\n' | sed '/^$/d')
[ -n "$base_files" ] || fail "no BASE_FILES list found in the jQuery Makefile"
for file in $base_files; do
    [ -f "$file" ] || fail "the Makefile names $file, which the tarball lacks"
done

# The Makefile stamps the commit date; the tarball's own time stamp stands in for it.
stamp=$(date -u -d "@$(stat -c %Y version.txt)" '+%a %b %-d %H:%M:%S %Y +0000')
# shellcheck disable=SC2086  # base_files is a list of plain relative paths
cat src/intro.js $base_files src/outro.js |
    sed 's/.function..jQuery...{//' |
    sed 's/}...jQuery..;//' |
    sed "s/@DATE/$stamp/" |
    sed "s/@VERSION/$WANTED_VERSION/" >"$work/jquery.js"

cd "$work"
mkdir -p minifier
cp "$here/package.json" "$here/package-lock.json" minifier/
if [ ! -x minifier/node_modules/.bin/uglifyjs ] ||
    ! cmp -s "$here/package-lock.json" minifier/node_modules/.package-lock.json.installed; then
    (cd minifier && npm ci --prefer-offline --no-audit --no-fund --silent) ||
        fail "npm could not install the minifier (registry unreachable and not in npm's cache)"
    cp "$here/package-lock.json" minifier/node_modules/.package-lock.json.installed
fi

# Keep the /*! licence header, as jQuery's own minified builds do; --no-module keeps the
# output in the library's own ES3/ES5 dialect (no arrow functions).
minifier/node_modules/.bin/uglifyjs jquery.js --no-module --compress --mangle --comments '/^!/' \
    --output jquery.min.js.tmp
node "$here/check-jquery.js" jquery.min.js.tmp "$WANTED_VERSION"
# The minified file keeps the short header; the full notice goes beside it for installation.
cp "$src_root/MIT-LICENSE.txt" "$(dirname "$output")/jquery-MIT-LICENSE.txt"
mv jquery.min.js.tmp "$output"
