#!/usr/bin/perl
# Writes an application as Debian's libpalm-pdb-perl writes resource
# databases (Palm::Raw with the resource attribute): resources of 9, 4, 24
# and 100 bytes and a few more, in an order not sorted by type, and beside
# it each resource's bytes as DIR/expected/<type><ID as 4 hex digits>.bin.
#
#   write_resources.pl DIR
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

my $dir = shift or die "usage: $0 DIR\n";
mkdir "$dir/expected";
my $pdb = Palm::Raw->new;
$pdb->{name} = 'Tide Table';
$pdb->{type} = 'appl';
$pdb->{creator} = 'TdTb';
$pdb->{attributes}{ResDB} = 1;
$pdb->{version} = 3;
my @resources = (
    [ 'tAIN', 1000, "Tide Tbl\0\0" ],
    [ 'tver', 1000, "1.2\0" ],
    [ 'code', 0, join('', map { chr(($_ * 37) % 256) } 0 .. 23) ],
    [ 'code', 1, join('', map { chr(($_ * 11 + 5) % 256) } 0 .. 99) ],
    [ 'pref', 0, "\0\x1e\0\0\x10\0\0\0\x10\0" ],
    [ 'tSTR', 0xBEEF, "High water\0" ],
    [ 'data', 0, '' ],
    [ 'Tbmp', 3000, join('', map { chr($_ % 256) } 0 .. 299) ],
);
for my $r (@resources) {
    my ($type, $id, $data) = @$r;
    $pdb->append_Resource({ type => $type, id => $id, data => $data });
    my $name = sprintf("%s/expected/%s%04x.bin", $dir, $type, $id);
    open(my $out, '>:raw', $name) or die "$name: $!";
    print $out $data;
    close $out;
}
# Unix times; appending a resource sets the modification time to now, so
# they are set last. A backup time of 0 in the file is -(1904 to 1970).
$pdb->{ctime} = 1079087400;    # 12 March 2004, 10:30:00 UTC
$pdb->{mtime} = 1079091000;    # an hour later
$pdb->{baktime} = -2082844800;
$pdb->Write("$dir/tide.prc");
