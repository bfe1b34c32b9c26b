#!/usr/bin/perl
# Writes versions of a tree of office-like text documents: OUT/v1 .. OUT/vN.
# Documents are prose (paragraphs of sentences over a made-up vocabulary with
# a few words much more common than the rest), minutes with dated items and
# budget tables as CSV, in eight folders, 4 KB to 2 MB each (log-uniform).
# Between two versions about a quarter of the documents get one to four small
# edits (a sentence reworded, a paragraph inserted or removed, a figure
# changed, a line appended) and two new documents appear, the way a shared
# office folder changes between two backups. Perl's rand is the same on every
# platform for a given seed, so the bytes are too.
#
# Usage: office.pl OUT VERSIONS [SEED]
use strict;
use warnings;
use File::Path qw(make_path);

my ($out, $versions, $seed) = @ARGV;
die "usage: office.pl OUT VERSIONS [SEED]\n" unless defined $versions;
srand(defined $seed ? $seed : 20240601);

my @syllables = qw(ka lo mi nu pe ra si to ve za an el in or us ber dan fel gor
                   hal jin kor lum mar nor pol quin ren sal tam vel wor);
my @words;
for (1 .. 4000) {
    my $w = '';
    $w .= $syllables[int rand @syllables] for 1 .. 1 + int rand 4;
    push @words, $w;
}
# Zipf-like: low indexes far more likely.
sub word { $words[int(@words * rand() ** 3)] }

sub sentence {
    my @w = map { word() } 1 .. 6 + int rand 14;
    $w[0] = ucfirst $w[0];
    $w[int rand(@w - 1)] .= ',' if @w > 8;
    return join(' ', @w) . (rand() < 0.1 ? '?' : '.');
}

sub paragraph { join ' ', map { sentence() } 1 .. 2 + int rand 7 }

sub figure { sprintf '%d.%02d', int rand 100000, int rand 100 }

sub minutes_item {
    sprintf "%04d-%02d-%02d %s: %s", 2020 + int rand 5, 1 + int rand 12, 1 + int rand 28,
      ucfirst(word()), paragraph();
}

sub budget_line { join ',', ucfirst(word()), word(), map { figure() } 1 .. 6 }

my @folders = qw(Contracts Minutes Reports Letters Budgets Manuals Notes Proposals);
my %maker = (Minutes => \&minutes_item, Budgets => \&budget_line);
my %suffix = (Budgets => 'csv', Minutes => 'txt', Manuals => 'md');

# A document: its folder and its paragraphs (lines for minutes and budgets).
my @docs;
sub new_document {
    my $folder = $folders[int rand @folders];
    my $make = $maker{$folder} || \&paragraph;
    my $target = int(4096 * (512 ** rand()));
    my @parts;
    my $size = 0;
    while ($size < $target) {
        my $p = $make->();
        push @parts, $p;
        $size += length($p) + 2;
    }
    unshift @parts, 'Item,Account,Q1,Q2,Q3,Q4,Budget,Actual' if $folder eq 'Budgets';
    my $name = sprintf '%s-%s-%03d.%s', ucfirst(word()), word(), scalar @docs,
      $suffix{$folder} || 'txt';
    my $sep = $folder eq 'Budgets' ? "\n" : "\n\n";
    push @docs, { folder => $folder, name => $name, parts => \@parts, make => $make, sep => $sep };
}

sub edit {
    my ($doc) = @_;
    my $parts = $doc->{parts};
    my $at = 1 + int rand(@$parts - 1 || 1);
    my $kind = rand;
    if ($kind < 0.35) {                     # reword a sentence
        my @s = split /(?<=[.?]) /, $parts->[$at] // '';
        $s[int rand @s] = sentence() if @s;
        $parts->[$at] = join ' ', @s;
    } elsif ($kind < 0.6) {                 # a new paragraph or line
        splice @$parts, $at, 0, $doc->{make}->();
    } elsif ($kind < 0.75) {                # one removed
        splice @$parts, $at, 1 if @$parts > 2;
    } elsif ($kind < 0.9) {                 # a figure or a word changed
        $parts->[$at] =~ s/\b(\d+\.\d\d|[a-z]+)\b/ $1 =~ m{\d} ? figure() : word() /e;
    } else {                                # appended at the end
        push @$parts, $doc->{make}->();
    }
}

sub write_version {
    my ($dir) = @_;
    for my $doc (@docs) {
        make_path("$dir/$doc->{folder}");
        open my $fh, '>', "$dir/$doc->{folder}/$doc->{name}" or die "$dir: $!\n";
        print $fh join($doc->{sep}, @{ $doc->{parts} }), "\n";
        close $fh or die "$dir: $!\n";
    }
}

new_document() for 1 .. 160;
write_version("$out/v1");
for my $v (2 .. $versions) {
    for my $doc (@docs) {
        next unless rand() < 0.25;
        edit($doc) for 1 .. 1 + int rand 4;
    }
    new_document() for 1 .. 2;
    write_version("$out/v$v");
}
