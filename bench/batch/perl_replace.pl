#!/usr/bin/perl
# The perl peer of `morvelle-batch replace`: one process applies every rule, in order, to the
# whole text of each file and writes OUTDIR/NAME.
#   perl_replace.pl chars ENCODING RULES OUTDIR FILE...   text decoded with Encode (the sound way)
#   perl_replace.pl bytes -        RULES OUTDIR FILE...   the raw bytes (fast, breaks Shift_JIS)
# RULES holds one s/// per line: UTF-8 for chars, the files' own code for bytes.
use strict;
use warnings;
use feature 'unicode_strings';
use Encode qw(decode encode);

my ($mode, $encoding, $rules, $outdir, @files) = @ARGV;
my $chars = $mode eq 'chars';

open(my $rf, '<:raw', $rules) or die "$rules: $!";
my @subs;
while (my $rule = <$rf>) {
    $rule =~ s/\r?\n\z//;
    next if $rule eq '';
    $rule = decode('UTF-8', $rule, Encode::FB_CROAK) if $chars;
    my $sub = eval "sub { \$_[0] =~ $rule }" or die "$rule: $@";
    push @subs, $sub;
}
close $rf;

for my $file (@files) {
    open(my $in, '<:raw', $file) or die "$file: $!";
    local $/;
    my $text = <$in>;
    close $in;
    $text = decode($encoding, $text) if $chars;
    $_->($text) for @subs;
    $text = encode($encoding, $text) if $chars;
    my ($name) = $file =~ m{([^/]+)\z};
    open(my $out, '>:raw', "$outdir/$name") or die "$outdir/$name: $!";
    print $out $text;
    close $out or die "$outdir/$name: $!";
}
