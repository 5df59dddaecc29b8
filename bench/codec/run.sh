#!/bin/sh
# Codec benchmark: a ~100 MB Shift_JIS text converted by us, by glibc iconv and by nkf -x, all
# in one run, with the ratios (printed by bench_codec). Not part of `make test`.
#   bench/codec/run.sh [SIZE_MB] [skk|man]
# skk: the SKK dictionary, short words between slashes (the hardest mix of ASCII and kanji);
# man: the Japanese manual pages, prose in roff markup.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
size=${1:-100}
kind=${2:-skk}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The optimised build of the libraries and the benchmark, with nothing else of the project.
c="$root/components"
g++ -std=c++20 -O2 -DNDEBUG -I"$c" -I"$root/tools/codecgen" -o "$work/bench_codec" \
  "$here/bench_codec.cpp" "$c"/text/codec/*.cpp "$c"/text/detect/*.cpp "$c"/editbuffer/*.cpp \
  "$c"/translation/*.cpp

# Real Japanese text (the manual pages, the SKK dictionary or the mecab dictionary sources),
# else a text made from every CP932 character; repeated up to the size.
seed="$work/seed.sjis"
if [ "$kind" = man ]; then
  for f in /usr/share/man/ja/man*/*.gz; do
    [ -r "$f" ] && gzip -dc "$f"
  done | iconv -c -f UTF-8 -t CP932 > "$seed" 2>/dev/null || true
elif [ -r /usr/share/skk/SKK-JISYO.L ]; then
  iconv -f EUC-JP-MS -t CP932 /usr/share/skk/SKK-JISYO.L > "$seed" 2>/dev/null || true
fi
if [ ! -s "$seed" ]; then
  for f in /usr/share/mecab/dic/ipadic/*.csv; do
    [ -r "$f" ] && iconv -f EUC-JP-MS -t CP932 "$f" 2>/dev/null
  done > "$seed" || true
fi
if [ ! -s "$seed" ]; then
  perl -e 'for $l (0x88..0x9F,0xE0..0xEA) { for $t (0x40..0x7E,0x80..0xFC) {
             print chr($l), chr($t) } print "\r\n" }' > "$seed"
fi
file="$work/big.sjis"
: > "$file"
while [ "$(wc -c < "$file")" -lt $((size * 1000000)) ]; do cat "$seed" >> "$file"; done
bytes=$(wc -c < "$file")
echo "input: $bytes bytes of Shift_JIS"

"$work/bench_codec" "$file" "$work"
