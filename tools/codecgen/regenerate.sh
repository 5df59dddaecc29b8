#!/bin/sh
# Rebuilds generated/*.inc from this machine's glibc iconv (CP932 and EUC-JP-MS converters).
# The result is checked in; a build of the project never runs this.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
c++ -std=c++20 -O2 -Wall -Wextra -o "$work/codecgen" "$here/codecgen.cpp"
mkdir -p "$here/generated"
"$work/codecgen" "$here/generated"
echo "regenerated: $(ls "$here"/generated/*.inc)"
