#!/bin/bash
# Fails on any #include of a project header from a layer that may not use it.
# Layers, bottom to top, each with the folders it may include from.
set -u
root=${1:?usage: layers_test.sh SOURCE_DIR}
declare -A allowed=(
    [text]="text"
    [toolkit]="toolkit text"
    [store]="store text"
    [rules]="rules store text"
    [ui]="ui toolkit store rules text"
    [game]="game ui toolkit store rules text"
)
layers="${!allowed[*]}"
status=0
for layer in $layers; do
    while IFS=: read -r file line text; do
        target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$text")
        [[ " $layers " == *" $target "* ]] || continue
        if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
            echo "$file:$line: layer '$layer' may not include from '$target'"
            status=1
        fi
    done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$root/$layer"/*.cpp "$root/$layer"/*.h 2>/dev/null)
done
exit $status
