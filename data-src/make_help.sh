#!/bin/bash
# Compiles the help document data/quintara.chm from data-src/help/ with chmcmd
# (Debian fp-utils) and checks the result with enum_chmLib (Debian libchm-bin).
# chmcmd can crash and leave an empty file when a page is missing from [FILES],
# so success is decided here, not by its exit code alone.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../data}/quintara.chm

fail() {
  echo "make_help: $*" >&2
  exit 1
}

for tool in chmcmd enum_chmLib; do
  command -v "$tool" >/dev/null || fail "$tool not found"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/help/* "$work"/

# Every file that a page, the contents or the index refers to must be in [FILES].
listed=$(sed -n '/^\[FILES\]/,/^\[/{/^\[/d;/^[[:space:]]*$/d;p}' "$work/quintara.hhp" | tr -d '\r')
while read -r ref; do
  grep -qxF "$ref" <<<"$listed" || fail "$ref is used but not listed in [FILES]"
done < <(grep -ohE '(href|value)="[^"#]+\.(html|css)' "$work"/*.html "$work"/*.hhc "$work"/*.hhk |
  sed -E 's/^[a-z]+="//' | sort -u)
for file in $listed; do
  [[ -f $work/$file ]] || fail "$file is listed in [FILES] but missing"
done

(cd "$work" && chmcmd --no-html-scan quintara.hhp) >"$work/chmcmd.log" 2>&1 ||
  { cat "$work/chmcmd.log" >&2; fail "chmcmd failed"; }

chm=$work/quintara.chm
[[ -s $chm ]] || { cat "$work/chmcmd.log" >&2; fail "chmcmd left an empty file"; }
[[ $(head -c 4 "$chm") == ITSF ]] || fail "output has no ITSF header"
contents=$(enum_chmLib "$chm") || fail "enum_chmLib cannot read the output"
for file in $listed; do
  grep -qE "[[:space:]]/$file\$" <<<"$contents" || fail "$file is missing from the compiled file"
done

cp "$chm" "$out"
echo "made $out ($(stat -c %s "$out") bytes, $(wc -w <<<"$listed") files)"
