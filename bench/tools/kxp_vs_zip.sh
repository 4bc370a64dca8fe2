#!/usr/bin/env bash
# Packs one folder tree with `quorlix kxp create --compress` and with `zip -9 -qr`, side by side
# in the same run (alternating, after one untimed read of the tree into the page cache), and
# prints wall, user and system seconds of each round and the ratio of the total wall times.
#
#   bench/tools/kxp_vs_zip.sh [TREE] [ROUNDS]      (defaults: /usr/include, 3)
#   QUORLIX=path/to/quorlix                         (default: build/tools/quorlix/quorlix)
#
# Both write into a fresh temporary folder on the same file system; the archive is synced to
# disc on close, which zip does not do, so the kxp side carries that cost too.
set -euo pipefail

tree=${1:-/usr/include}
rounds=${2:-3}
root=$(cd "$(dirname "$0")/../.." && pwd)
quorlix=${QUORLIX:-$root/build/tools/quorlix/quorlix}
[ -x "$quorlix" ] || { echo "kxp_vs_zip: no quorlix program at $quorlix (build it first)" >&2; exit 2; }
command -v zip > /dev/null || { echo "kxp_vs_zip: zip is not installed (make deps)" >&2; exit 2; }
[ -d "$tree" ] || { echo "kxp_vs_zip: $tree is not a folder" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kxp_vs_zip.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Wall, user and system seconds of one command, its output discarded.
measure() {
    local TIMEFORMAT='%R %U %S'
    { time "$@" > /dev/null 2>&1; } 2>&1
}

tar cf - "$tree" 2> /dev/null | cat > /dev/null
files=$(find "$tree" -type f | wc -l)
echo "tree: $tree ($files files), $rounds rounds"
printf '%-6s %-5s %8s %8s %8s\n' round tool wall user sys
kxp_total=0
zip_total=0
for ((r = 1; r <= rounds; ++r)); do
    rm -f "$work/a.kxp" "$work/a.zip"
    # Alternate which one goes first, so neither always meets a warmer machine.
    order=(kxp zip)
    ((r % 2 == 0)) && order=(zip kxp)
    for tool in "${order[@]}"; do
        if [ "$tool" = kxp ]; then
            read -r wall user sys < <(measure "$quorlix" kxp create --compress "$work/a.kxp" "$tree")
            kxp_total=$(awk "BEGIN { print $kxp_total + $wall }")
        else
            read -r wall user sys < <(measure zip -9 -qr "$work/a.zip" "$tree")
            zip_total=$(awk "BEGIN { print $zip_total + $wall }")
        fi
        printf '%-6s %-5s %8s %8s %8s\n' "$r" "$tool" "$wall" "$user" "$sys"
    done
done
printf 'sizes: kxp %s bytes, zip %s bytes\n' "$(stat -c %s "$work/a.kxp")" "$(stat -c %s "$work/a.zip")"
awk -v k="$kxp_total" -v z="$zip_total" \
    'BEGIN { printf "wall time kxp/zip: %.3f (%.2f s / %.2f s)\n", k / z, k, z }'
