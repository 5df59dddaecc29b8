#!/bin/sh
# Codec benchmark: a ~100 MB Shift_JIS text converted by us, by glibc iconv and by nkf -x, all
# in one run, with the ratios. Not part of `make test`.
#   bench/codec/run.sh [SIZE_MB]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
size=${1:-100}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The optimised build of the libraries and the benchmark, with nothing else of the project.
c="$root/components"
g++ -std=c++20 -O2 -DNDEBUG -I"$c" -I"$root/tools/codecgen" -o "$work/bench_codec" \
  "$here/bench_codec.cpp" "$c"/text/codec/*.cpp "$c"/text/detect/*.cpp "$c"/editbuffer/*.cpp

# Real Japanese text: the SKK dictionary or the mecab dictionary sources (EUC-JP), else a
# text made from every CP932 character; repeated up to the size.
seed="$work/seed.sjis"
if [ -r /usr/share/skk/SKK-JISYO.L ]; then
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

"$work/bench_codec" "$file" "$work" | tee "$work/ours.txt"

# Best of three wall-clock seconds of a shell command.
best() {
  b=""
  for i in 1 2 3; do
    s=$(date +%s.%N)
    sh -c "$1" > /dev/null 2>&1 || true
    e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc -l)
    if [ -z "$b" ] || [ "$(echo "$t < $b" | bc -l)" = 1 ]; then b=$t; fi
  done
  echo "$b"
}
ours() { awk -v k="$1" '$1 == k { print $2 }' "$work/ours.txt"; }

echo
printf '%-8s %10s %10s %10s %12s %12s\n' target ours iconv nkf-x 'iconv/ours' 'nkf/ours'
for pair in "euc EUC-JP-MS -e" "utf8 UTF-8 -w" "utf16 UTF-16LE -w16L"; do
  set -- $pair
  i=$(best "iconv -f CP932 -t $2 '$file' > '$work/i.out'")
  n=$(best "nkf -x -S $3 '$file' > '$work/n.out'")
  o=$(ours "convert-$1")
  printf '%-8s %9.3fs %9.3fs %9.3fs %11.1fx %11.1fx\n' "$1" "$o" "$i" "$n" \
    "$(echo "$i / $o" | bc -l)" "$(echo "$n / $o" | bc -l)"
done
