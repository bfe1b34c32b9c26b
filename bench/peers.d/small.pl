#!/usr/bin/perl
# Turns a copy of a tree of many small files into its next version, the way
# a source tree changes between two backups: about 4 % of the files get one
# to three small edits (a line inserted, a line changed, a line appended),
# about 0.5 % are removed, and about 0.5 % new files appear (an existing
# file of the tree, edited, under a new name beside it). Files are picked
# from the sorted list of the tree's files with Perl's rand, which is the
# same on every platform for a given seed, so the same tree and seed give
# the same next version.
#
# Usage: small.pl DIR SEED     (edits DIR in place)
use strict;
use warnings;
use File::Find;

my ($dir, $seed) = @ARGV;
die "usage: small.pl DIR SEED\n" unless defined $seed;
srand($seed);

my @files;
find({ wanted => sub { push @files, $File::Find::name if -f $_ && !-l $_ }, no_chdir => 1 },
     $dir);
@files = sort @files;
my $count = @files;

sub slurp { local $/; open my $in, '<:raw', $_[0] or die "$_[0]: $!\n"; my $t = <$in>; $t // '' }
sub spew { open my $out, '>:raw', $_[0] or die "$_[0]: $!\n"; print $out $_[1]; close $out }

# A line such as a maintainer adds: a comment or a declaration.
sub new_line {
    my $n = int rand 100000;
    return rand() < 0.5 ? "/* revised $n */\n" : "extern int bench_value_$n (void);\n";
}

sub edit {
    my ($text) = @_;
    my @lines = split /^/, $text;
    for (1 .. 1 + int rand 3) {
        my $what = rand;
        if (!@lines || $what < 0.2) {
            push @lines, new_line();
        } elsif ($what < 0.6) {
            splice @lines, int rand @lines, 0, new_line();
        } else {
            my $i = int rand @lines;
            $lines[$i] =~ s/[A-Za-z]{3,}/renamed_$i/ or $lines[$i] = new_line();
        }
    }
    return join '', @lines;
}

my %removed;
for (1 .. int($count * 0.005 + 0.5)) {
    my $f = $files[int rand $count];
    next if $removed{$f}++;
    unlink $f or die "$f: $!\n";
}
my @kept = grep { !$removed{$_} } @files;
for (1 .. int($count * 0.04 + 0.5)) {
    my $f = $kept[int rand @kept];
    spew($f, edit(slurp($f)));
}
for my $n (1 .. int($count * 0.005 + 0.5)) {
    my $f = $kept[int rand @kept];
    (my $new = $f) =~ s{([^/]*)$}{added_${seed}_${n}_$1};
    spew($new, edit(slurp($f)));
}
