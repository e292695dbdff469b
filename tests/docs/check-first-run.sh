#!/usr/bin/env bash
# What a newcomer meets first: `make run` builds the program and nothing else, and the README's
# first screen gets them signed in and points at pictures that exist.
#   check-first-run.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
fail() { echo "$*"; exit 1; }

# The run target builds talvor-search alone, and that target needs no test or benchmark.
grep -q -- '--target talvor-search$' "$source_dir/Makefile" || fail "make run does not build talvor-search alone"
if [ -f "$build_dir/build.ninja" ]; then
    inputs=$(ninja -C "$build_dir" -t inputs talvor-search)
    [ -n "$inputs" ] || fail "ninja knows no inputs of talvor-search"
    if grep -E '(^|/)(tests|bench|fuzz)/' <<<"$inputs"; then
        fail "talvor-search is built from the above"
    fi
fi

# The first screen of the README: the command, the demo's sign-in, the tries.
first_screen=$(sed -n '1,60p' "$source_dir/README.md")
grep -q 'make run' <<<"$first_screen" || fail "the first screen does not say make run"
grep -q 'demo / demo' <<<"$first_screen" || fail "the first screen does not give the demo's sign-in"
grep -q 'Three refused tries' <<<"$first_screen" || fail "the first screen does not tell the sign-in's tries"

# Every picture the README links exists, and every picture in docs/ is linked.
linked=$(grep -o '](docs/[^)]*)' "$source_dir/README.md" | sed 's/^](//; s/)$//' | sort -u)
for picture in $linked; do
    [ -f "$source_dir/$picture" ] || fail "README links $picture, which is not there"
done
for picture in "$source_dir"/docs/*.png; do
    grep -qx "docs/$(basename "$picture")" <<<"$linked" || fail "README does not link docs/$(basename "$picture")"
done
echo "make run, the README's first screen and its pictures: fine"
