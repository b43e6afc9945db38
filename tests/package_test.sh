#!/bin/bash
# Builds the Debian package from BUILD_DIR with CPack, once as usual and once
# with a PATH on which dpkg-shlibdeps is missing, and checks that a package
# whose Depends lacks the shared libraries is refused after it was built.
# usage: package_test.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/check_support.sh"

package() { # output directory
    (cd "$build" && cpack -G DEB -B "$1") >"$1.log" 2>&1
}

# A PATH like ours, except that no directory on it holds dpkg-shlibdeps: the
# other programs of such directories are reached through links.
path_without_shlibdeps() {
    local dir program path="$work/bin"
    mkdir -p "$work/bin"
    local IFS=:
    for dir in $PATH; do
        [ -n "$dir" ] || continue
        if [ -e "$dir/dpkg-shlibdeps" ]; then
            for program in "$dir"/*; do
                [ "$(basename "$program")" = dpkg-shlibdeps ] ||
                    ln -sf "$program" "$work/bin/" 2>/dev/null
            done
        else
            path="$path:$dir"
        fi
    done
    echo "$path"
}

mkdir "$work/usual" "$work/missing"
check "the package builds" package "$work/usual"
deb=$(ls "$work"/usual/quintara_*.deb 2>/dev/null | head -n1)
if [ -n "$deb" ]; then
    depends=$(dpkg-deb --field "$deb" Depends)
    for needed in libc6 libqt6widgets6 libjpeg62-turbo libcanberra0 qt6-translations-l10n; do
        check "Depends names $needed" grep -qE "(^|[ ,])$needed([ ,(]|$)" <<<"$depends"
    done
    contents=$(dpkg-deb --contents "$deb")
    for file in usr/share/doc/quintara/copyright usr/share/quintara/help/index.html \
        usr/share/quintara/pvp_0@2x.jpg; do
        check "the package holds /$file" grep -qF "./$file" <<<"$contents"
    done
else
    cat "$work/usual.log"
fi

PATH=$(path_without_shlibdeps) package "$work/missing"
status=$?
check "without dpkg-shlibdeps the build fails" test "$status" -ne 0
check "and says what is missing" grep -q "dpkg-shlibdeps not found" "$work/missing.log"
check "and what to install" grep -q "Install the Debian package dpkg-dev" "$work/missing.log"
check "and leaves no package" test -z "$(find "$work/missing" -name '*.deb')"

# A package that got no dependencies from dpkg-shlibdeps.
mkdir -p "$work/bare/DEBIAN"
printf 'Package: bare\nVersion: 1\nArchitecture: all\nMaintainer: x <x@x>\nDepends: xdg-utils\nDescription: x\n' \
    >"$work/bare/DEBIAN/control"
dpkg-deb --build "$work/bare" "$work/bare.deb" >/dev/null
cmake -DCPACK_GENERATOR=DEB -DCPACK_PACKAGE_FILES="$work/bare.deb" \
    -P "$source_dir/packaging/check_package_depends.cmake" >"$work/bare.log" 2>&1
status=$?
check "a package without the shared libraries in Depends is refused" test "$status" -ne 0
check "and removed" test ! -e "$work/bare.deb"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; cat "$work/missing.log"; exit 1; }
