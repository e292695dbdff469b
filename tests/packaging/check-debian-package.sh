#!/usr/bin/env bash
# The Debian package as Debian's own checks see it: builds it from the build folder ($1) with
# cpack ($2), then lintian (no error, no warning), desktop-file-validate (nothing to say), and a
# manual page for every command the package puts on the PATH.
set -euo pipefail
build=$1
cpack=$2
for tool in lintian desktop-file-validate dpkg-deb; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/install-deps"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb")"

# lintian also says that it runs as root, which is the machine's business, not the package's.
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || true
if grep -E '^[EW]: ' "$work/lintian.log"; then
    echo "lintian found the above"
    exit 1
fi

dpkg-deb -x "$deb" "$work/root"
desktop="$work/root/usr/share/applications/talvor-search.desktop"
[ -f "$desktop" ] || { echo "no desktop entry"; exit 1; }
said=$(desktop-file-validate "$desktop" 2>&1 || true)
if [ -n "$said" ]; then
    echo "$said"
    exit 1
fi

for command in "$work"/root/usr/bin/*; do
    name=$(basename "$command")
    [ -f "$work/root/usr/share/man/man1/$name.1.gz" ] || { echo "no manual page for $name"; exit 1; }
    [ -x "$work/root/usr/lib/talvor/$name" ] || { echo "$name is not in the program folder"; exit 1; }
done
for name in talvor-search talvor-sqlcmd talvor-demo-db; do
    [ -e "$work/root/usr/bin/$name" ] || { echo "$name is not installed"; exit 1; }
done
echo "lintian, desktop-file-validate and the manual pages: clean"
