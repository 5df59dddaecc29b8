#!/usr/bin/perl
# Writes the fuzz seed corpora from the string literals of the project's own tests:
# expressions and texts of the substitution tests, byte sequences of the codec, recognition,
# buffer and batch tests, and rule-set files made of those expressions.
# Usage: make-seeds.pl SOURCE_DIR OUT_DIR
use strict;
use warnings;
use Encode qw(encode FB_QUIET);
use File::Path qw(make_path);
use Digest::MD5 qw(md5_hex);

my ($src, $out) = @ARGV;
die "usage: $0 SOURCE_DIR OUT_DIR\n" unless defined $out;

sub slurp { local $/; open my $f, '<:raw', $_[0] or die "$_[0]: $!\n"; return scalar <$f>; }

# C++ string literals of a file, adjacent pieces joined. Each is [is_wide, text] where text
# holds characters (wide) or bytes (narrow, \x escapes taken as bytes).
sub literals {
  my ($path) = @_;
  my $code = slurp($path);
  utf8::decode($code);
  $code =~ s{//[^\n]*}{}g;
  my @found;
  while ($code =~ /((?:(?:u8|u|U|L)?"(?:[^"\\\n]|\\.)*"\s*)+)/g) {
    my $group = $1;
    my ($wide, $text) = (0, '');
    while ($group =~ /(u8|u|U|L)?"((?:[^"\\\n]|\\.)*)"/g) {
      $wide = 1 if defined $1 && $1 ne 'u8';
      $text .= unescape($2, !(defined $1 && $1 ne 'u8'));
    }
    push @found, [$wide, $text];
  }
  return @found;
}

sub unescape {
  my ($s, $narrow) = @_;
  my %simple = (n => "\n", r => "\r", t => "\t", '0' => "\0", '\\' => '\\', '"' => '"',
                "'" => "'", a => "\a", b => "\b", f => "\f", v => "\x0B", '?' => '?');
  my $r = '';
  while (length $s) {
    if ($s =~ s/^\\x([0-9A-Fa-f]+)//) {
      my $v = hex $1;
      # A narrow \x is one byte; marked so that the UTF-8 step below leaves it alone.
      $r .= $narrow ? chr(0xF0000 + ($v & 0xFF)) : chr($v);
    } elsif ($s =~ s/^\\u([0-9A-Fa-f]{4})// || $s =~ s/^\\U([0-9A-Fa-f]{8})//) {
      $r .= chr(hex $1);
    } elsif ($s =~ s/^\\([0-7]{1,3})//) {
      $r .= $narrow ? chr(0xF0000 + (oct($1) & 0xFF)) : chr(oct $1);
    } elsif ($s =~ s/^\\(.)//s) {
      $r .= exists $simple{$1} ? $simple{$1} : $1;
    } else {
      $s =~ s/^(.)//s;
      $r .= $1;
    }
  }
  return $r;
}

# Characters to UTF-8, with the marked raw bytes kept as bytes.
sub bytes_of {
  my ($text) = @_;
  my $b = '';
  for my $c (split //, $text) {
    my $o = ord $c;
    if ($o >= 0xF0000 && $o <= 0xF00FF) { $b .= chr($o - 0xF0000); }
    else { my $u = $c; utf8::encode($u); $b .= $u; }
  }
  return $b;
}

sub files_under {
  my ($dir) = @_;
  opendir my $d, "$src/$dir" or return ();
  return map { "$src/$dir/$_" } sort grep { /\.(cpp|h)$/ } readdir $d;
}

my %written;
sub seed {
  my ($target, $bytes) = @_;
  my $dir = "$out/$target";
  make_path($dir);
  my $name = md5_hex($bytes);
  return if $written{"$target/$name"}++;
  open my $f, '>:raw', "$dir/$name" or die "$dir/$name: $!\n";
  print $f $bytes;
  close $f;
}

# --- substitution: expression NUL text ---
my (@expressions, @texts);
for my $file (files_under('tests/components/text/subst'), files_under('tests/src/engine'),
              files_under('tests/src/rules')) {
  for my $lit (literals($file)) {
    my $t = $lit->[1];
    if ($t =~ /^\s*s\s*[^\w\s]/ && length $t < 2000) { push @expressions, $t; }
    elsif (length $t >= 8 && length $t < 4000) { push @texts, $t; }
  }
}
@texts = ('foo bar baz') unless @texts;
my $i = 0;
for my $e (@expressions) {
  seed('fuzz_substitute', bytes_of($e) . "\0" . bytes_of($texts[$i++ % @texts]));
}

# --- codes: one byte choosing the code (9 = recognition), then the bytes ---
my @samples;
for my $dir ('tests/components/text/codec', 'tests/components/text/detect',
             'tests/components/editbuffer', 'tests/src/app', 'tests/src/cli') {
  for my $file (files_under($dir)) {
    for my $lit (literals($file)) {
      my $b = bytes_of($lit->[1]);
      push @samples, $b if length $b >= 2 && length $b < 8192;
    }
  }
}
push @samples, bytes_of($_) for @texts;
for my $t (@texts[0 .. ($#texts < 40 ? $#texts : 40)]) {
  for my $code ('cp932', 'euc-jp', 'iso-2022-jp', 'UTF-16LE', 'UTF-16BE') {
    my $copy = $t;
    my $b = encode($code, $copy, FB_QUIET);
    push @samples, $b;
    next if $code =~ /^UTF/;
    # The same with a stray byte: a NUL at the start of the second line, and an escape that
    # designates nothing known inside the first kanji run.
    (my $nul = $b) =~ s/\n/\n\0/;
    push @samples, $nul if $nul ne $b;
    (my $esc = $b) =~ s/(\e\$B..)/$1\e\$Z/s;
    push @samples, $esc if $esc ne $b;
  }
}
# Texts longer than a block of the sparse offset index (256 units): a pair split by the first
# boundary, and a run of kanji with its escapes across it in each code.
{
  my $pair = ('a' x 255) . "\x{1F600}" . ("\x{3042}" x 300) . "\n";
  my $run = ('a' x 250) . ("\x{6F22}\x{5B57}" x 20) . " end\n" . ("\x{30AB}" x 300);
  for my $code ('UTF-8', 'cp932', 'euc-jp', 'iso-2022-jp') {
    for my $t ($pair, $run) {
      my $copy = $t;
      my $b = encode($code, $copy, FB_QUIET);
      push @samples, $b if length $b > 256;
    }
  }
}
$i = 0;
for my $s (@samples) {
  seed('fuzz_codec', chr(9) . $s);
  seed('fuzz_codec', chr($i++ % 9) . $s);
  # The piece-table target reads the file first (backslash-escaped, ended by "\ "), then takes
  # its choices from the remaining bytes.
  (my $escaped = $s) =~ s/\\/\\\\/g;
  seed('fuzz_piece_table', $escaped . "\\ " . substr(md5_hex($s) x 4, 0, 64) . chr($i % 8));
}

# --- rule sets: the expressions as files, ten rules each, in CP932 or UTF-8 with a BOM ---
for (my $n = 0; $n < @expressions; $n += 10) {
  my @rows = @expressions[$n .. ($n + 9 > $#expressions ? $#expressions : $n + 9)];
  @rows = grep { !/[\t\r\n]/ } @rows;
  my $flag = 0;
  my $text = join '', map { $_ . "\t" . (($flag++ % 3) - 1) . "\r\n" } @rows;
  my $copy = $text;
  my $cp932 = encode('cp932', $copy, FB_QUIET);
  seed('fuzz_rule_set', $cp932) if $copy eq '';
  my $utf8 = $text;
  utf8::encode($utf8);
  seed('fuzz_rule_set', "\xEF\xBB\xBF" . $utf8);
}
for my $lit (literals("$src/tests/src/rules/rule_set_file_test.cpp")) {
  my $b = bytes_of($lit->[1]);
  seed('fuzz_rule_set', $b) if $b =~ /[\t\n]/;
}

make_path("$out/fuzz_avi");
# Folders of the collision check: a file beside its own old output, and names that differ in case.
seed('fuzz_collisions', $_) for ("\x01\x00\x00\x04\x00\x00\x04", "\x01\x00\x00\x02\x00\x00\x02",
                                 "\x01\x00\x00\x04\x02\x04\x20", "\x01\x00\x00\x04\x01\x00\x44");
printf "seeds: %s\n", join ', ', map { my $t = $_; "$t " . scalar(grep { m{^\Q$t\E/} } keys %written) }
  qw(fuzz_substitute fuzz_codec fuzz_piece_table fuzz_rule_set fuzz_collisions);
