#!/bin/sh
# Fails when a Makefile target that configures or builds would not install the dependencies
# first (make deps, which runs dpkg-query), so that it works on a fresh machine.
#
#   CheckDeps.sh <Makefile>
makefile=${1:?usage: CheckDeps.sh <Makefile>}
dir=$(dirname "$makefile")
bad=""
for t in configure build test asan tsan bench fuzz demo; do
    grep -qE "^$t:" "$makefile" || continue
    make -n --no-print-directory -C "$dir" -f "$(basename "$makefile")" "$t" 2>/dev/null |
        grep -q 'dpkg-query' || bad="$bad $t"
done
if [ -n "$bad" ]; then
    echo "check-deps: these targets build without make deps:$bad"
    exit 1
fi
echo "check-deps: every building target installs the dependencies first"
