#!/usr/bin/env bash
# Substitution speed beside perl (on characters and on bytes) and sed, on one generated text
# of about 100 MB as UTF-16. Builds its own release tree; not part of `make test`.
#
#   bench/subst/run.sh [SIZE_MB]      (default 100; set BENCH_DIR to choose the work folder)
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
size_mb=${1:-100}
work=${BENCH_DIR:-$repo/build/subst-bench}
build=$work/build
mkdir -p "$work"

cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVELLE_BENCH=ON \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target morvelle_subst_bench -j2 >/dev/null
runner=$build/components/text/subst/morvelle_subst_bench

text=$work/text-${size_mb}.txt
if [ ! -s "$text" ]; then
  # Mixed lines: English with the rules' words and numbers, Japanese with kanji and katakana.
  # Half a UTF-16 unit count of size_mb MB, i.e. size_mb MB as UTF-16.
  perl -CSD -Mutf8 -e '
    my $units = $ARGV[0] * 1024 * 1024 / 2; my $n = 0; srand 7;
    my @en = qw(foo fooo bar baz Bar the quick brown fox jumps over lazy dog 42 2024 fo food);
    my @ja = qw(東京 大阪 タワー カタカナ ひらがな 漢字 日本語 テスト 文字 コード);
    while ($n < $units) {
      my $line = join(" ", map { $en[rand @en] } 1..12) . "。" . join("", map { $ja[rand @ja] } 1..8) . "\r\n";
      print $line; $n += length $line;
    }' "$size_mb" > "$text"
fi

# sed knows no \p{Katakana} and no ranges outside ASCII: spell the block's letters out.
kana=$(perl -CO -e 'print map { chr } 0x30A1 .. 0x30FA, 0x30FC')

# Each rule twice, separated by a tab: ours (which perl runs too), then sed's.
rules=(
  $'s/foo/bar/g\ts/foo/bar/g'
  $'s/東京/大阪/g\ts/東京/大阪/g'
  $'s/\\b(fo+|ba[rz])\\b/<$1>/gi\ts/\\b(fo+|ba[rz])\\b/<\\1>/gI'
  $'s/(\\d+)/<$1>/g\ts/([0-9]+)/<\\1>/g'
  $'s/(\\w+)ox\\b/<$1>/g\ts/([[:alnum:]_]+)ox\\b/<\\1>/g'
  "s/\\p{Katakana}+/カ/g"$'\t'"s/[$kana]+/カ/g"
)

# The machine may be shared: every figure is the best of three runs.
best() { printf '%s\n' "$@" | sort -g | head -n 1; }
wall1() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s.%N); echo "$e - $s" | bc -l; }
wall() { best "$(wall1 "$@")" "$(wall1 "$@")" "$(wall1 "$@")"; }
ours_ms() { "$runner" "$@" 2>&1 | sed -n 's/.*substitute_ms=\([0-9.]*\).*/\1/p'; }
ratio() { echo "scale=1; $1 / $2" | bc -l; }

# perl's own time for the s/// alone, beside our in-memory substitution time.
perl_subst() {  # $1 = extra switches, $2 = rule
  perl $1 -0777 -MTime::HiRes=time -ne \
    'my $t = time; '"$2"'; printf STDERR "%.4f\n", time - $t; print' <"$text" 2>&1 >/dev/null
}

printf '%-30s %8s %8s %8s %8s %8s %8s %7s %7s %7s %7s %9s\n' rule ours plain perl_chr perl_byt \
  ours_run sed_run x_chr x_plain x_byte x_sed deadline
for entry in "${rules[@]}"; do
  IFS=$'\t' read -r rule sedrule <<<"$entry"
  out=$work/out.txt
  with=$(best "$(ours_ms "$rule" "$text" "$out")" "$(ours_ms "$rule" "$text" "$out")" \
    "$(ours_ms "$rule" "$text" "$out")")
  without=$(best "$(ours_ms --no-deadline "$rule" "$text" "$out")" \
    "$(ours_ms --no-deadline "$rule" "$text" "$out")" "$(ours_ms --no-deadline "$rule" "$text" "$out")")
  plain=$(best "$(ours_ms --no-spans "$rule" "$text" "$out")" \
    "$(ours_ms --no-spans "$rule" "$text" "$out")" "$(ours_ms --no-spans "$rule" "$text" "$out")")
  plain=$(echo "$plain / 1000" | bc -l)
  ours=$(echo "$with / 1000" | bc -l)
  chr=$(best "$(perl_subst "-CSD -Mutf8" "$rule")" "$(perl_subst "-CSD -Mutf8" "$rule")" \
    "$(perl_subst "-CSD -Mutf8" "$rule")")
  byt=$(best "$(perl_subst "" "$rule")" "$(perl_subst "" "$rule")" "$(perl_subst "" "$rule")")
  ours_run=$(wall "$runner" "$rule" "$text" "$out")
  sed_run=$(wall sh -c "LC_ALL=C.UTF-8 sed -E -e '$sedrule' < '$text' > '$out'")
  printf '%-30s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f %7s %7s %7s %7s %8.1f%%\n' "$rule" "$ours" \
    "$plain" "$chr" "$byt" "$ours_run" "$sed_run" "$(ratio "$chr" "$ours")" \
    "$(ratio "$chr" "$plain")" "$(ratio "$byt" "$ours")" \
    "$(ratio "$sed_run" "$ours_run")" "$(echo "($with - $without) * 100 / $without" | bc -l)"
done
cat <<'NOTE'
ours, perl_chr, perl_byt: seconds of the substitution alone, in memory (perl timed around its
s/// with Time::HiRes, on characters with -CSD and on bytes); ours lists the replaced spans as
the batch asks for them, plain returns only the text (x_plain = perl_chr / plain). ours_run, sed_run: whole runs
with reading and writing the file (ours decodes UTF-8 to UTF-16 and back). x_chr, x_byte:
perl's time over ours; x_sed: sed_run over ours_run. deadline: what the deadline adds to ours.
NOTE
