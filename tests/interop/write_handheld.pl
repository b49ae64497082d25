#!/usr/bin/perl
# Writes a memo, a contacts, a calendar and a tasks database with Debian's
# libpalm-perl (Palm::Memo, Palm::Address, Palm::Datebook, Palm::ToDo), the
# way a desktop tool writes them, and beside them expected.json: every live
# record's fields as written, in record order, decoded from the handheld's
# Windows-1252 into Unicode, for check_handheld.py to compare with what
# the converted files read back as.
#
#   /usr/bin/perl write_handheld.pl FOLDER
use strict;
use warnings;
use Encode qw(decode);
use JSON::PP;
use Palm::PDB;
use Palm::StdAppInfo;
use Palm::Memo;
use Palm::Address;
use Palm::Datebook;
use Palm::ToDo;

my $folder = shift or die "usage: $0 FOLDER\n";

# 12 March 2004 10:30:00 UTC and a day later, in seconds since 1970;
# libpalm-perl stores them counted from 1904.
my $created = 1079087400;
my $modified = $created + 86400;
my @categories = ("Unfiled", "Business", "Personal", "Caf\xe9, Bar; \\");

sub text { return decode("cp1252", $_[0]); }

sub category_name {
  my ($index) = @_;
  return undef if $index == 0;
  return text($categories[$index]);
}

sub new_database {
  my ($class) = @_;
  my $pdb = $class->new;
  for my $i (1 .. $#categories) {
    $pdb->{appinfo}{categories}[$i]{name} = $categories[$i];
    $pdb->{appinfo}{categories}[$i]{renamed} = 1;
  }
  return $pdb;
}

# Appends a record with its attributes, and gives it `id` when one is
# asked for (libpalm-perl otherwise assigns IDs from a random seed).
sub add {
  my ($pdb, $record, %options) = @_;
  $record->{category} = $options{category} // 0;
  $record->{attributes}{Secret} = 1 if $options{private};
  $record->{attributes}{Delete} = 1 if $options{deleted};
  $pdb->append_Record($record);
  $record->{id} = $options{id} if defined $options{id};
  return $record;
}

sub finish {
  my ($pdb, $name) = @_;
  $pdb->{ctime} = $created;
  $pdb->{mtime} = $modified;
  $pdb->Write("$folder/$name") or die "cannot write $folder/$name\n";
}

my %expected = (
  created => $created + 2082844800,
  modified => $modified + 2082844800,
);

# ---- memos ----
{
  my $pdb = new_database("Palm::Memo");
  my @memos = (
    ["Shopping list\n- bread\n- caf\xe9 au lait\n", 2, 0],
    ["A private thought", 1, 1],
    ["Deleted long ago", 1, 0, 1],
    ["Back\\slash, comma; semicolon \x80 \x93quoted\x94", 0, 0],
    ["Category with a comma", 3, 0],
    ["Long memo " . ("0123456789 " x 350), 2, 0],
  );
  my @live;
  for my $memo (@memos) {
    my ($body, $category, $private, $deleted) = @$memo;
    my $record = $pdb->new_Record;
    $record->{data} = $body;
    add($pdb, $record, category => $category, private => $private, deleted => $deleted);
    next if $deleted;
    push @live, {text => text($body), category => category_name($category) // "Unfiled"};
  }
  finish($pdb, "MemoDB.pdb");
  $expected{memos} = \@live;
}

# ---- contacts ----
{
  my $pdb = new_database("Palm::Address");
  my @contacts = (
    {
      fields => {
        name => "M\xfcller", firstName => "J\xfcrgen", company => "Tide Clocks, Inc.",
        phone1 => "+49 30 1234", phone2 => "+49 30 5678", phone3 => "+49 30 9999",
        phone4 => "+49 171 000", phone5 => "jm\@example.org",
        address => "Hafenstra\xdfe 1\nHinterhaus", city => "Berlin", state => "BE",
        zipCode => "10115", country => "Germany", title => "Keeper of the \x80",
        custom1 => "Boat: Heron", custom2 => "semi;colon", custom3 => "back\\,slash comma",
        custom4 => "line\nend",
        note => "Knows the tides.\nAsk about the \x93second\x94 tide; it forgives.",
      },
      labels => [0, 1, 2, 7, 4], display => 3, category => 1,
    },
    { fields => {company => "Harbour Office"}, labels => [5, 1, 2, 3, 4], display => 0,
      private => 1, category => 2 },
    { fields => {phone1 => "ferry\@example.org", phone2 => "555-0100"},
      labels => [4, 6, 2, 3, 4], display => 1 },
    { fields => {name => "Gone"}, labels => [0, 1, 2, 3, 4], display => 0, deleted => 1 },
    { fields => {firstName => "Morag", phone1 => "01234 5", phone2 => "01234 6",
                 phone3 => "01234 7"},
      labels => [3, 5, 6, 0, 4], display => 2, category => 3 },
  );
  my @live;
  for my $contact (@contacts) {
    my $record = $pdb->new_Record;
    $record->{fields}{$_} = $contact->{fields}{$_} for keys %{$contact->{fields}};
    my @labels = @{$contact->{labels}};
    $record->{phoneLabel}{"phone" . ($_ + 1)} = $labels[$_] for 0 .. 4;
    $record->{phoneLabel}{display} = $contact->{display};
    $record->{phoneLabel}{reserved} = 0;
    add($pdb, $record, category => $contact->{category} // 0,
        private => $contact->{private}, deleted => $contact->{deleted});
    next if $contact->{deleted};
    my %fields = map { $_ => text($contact->{fields}{$_}) } keys %{$contact->{fields}};
    push @live, {fields => \%fields, labels => \@labels, display => $contact->{display},
                 category => category_name($contact->{category} // 0),
                 private => $contact->{private} ? JSON::PP::true : JSON::PP::false};
  }
  finish($pdb, "AddressDB.pdb");
  $expected{contacts} = \@live;
}

# ---- calendar ----
{
  my $pdb = new_database("Palm::Datebook");
  my @events = (
    { date => [12, 3, 2004], start => [10, 30], end => [11, 45],
      description => "Tide table, \xabspring\xbb", note => "Bring the \x80 for the ferry\nand a coat",
      alarm => {advance => 10, unit => 0}, category => 1, id => 0x001001 },
    { date => [31, 12, 2003], description => "New year; fireworks", private => 1,
      category => 2, id => 0x001002 },
    { date => [1, 3, 2004], start => [7, 5], end => [8, 0], description => "Swim",
      repeat => {type => 1, frequency => 1, end => [31, 3, 2004]},
      exceptions => [[2, 3, 2004], [9, 3, 2004]], id => 0x001003 },
    { date => [1, 3, 2004], start => [18, 0], end => [19, 30], description => "Choir",
      repeat => {type => 2, frequency => 2, days => [0, 1, 0, 1, 0, 1, 0], start_of_week => 1},
      alarm => {advance => 2, unit => 1}, id => 0x001004 },
    { date => [28, 3, 2004], start => [9, 0], end => [9, 0], description => "Market",
      repeat => {type => 3, frequency => 1, weeknum => 4, daynum => 0}, id => 0x001005 },
    { date => [14, 4, 2004], start => [12, 0], end => [13, 0], description => "Rent",
      repeat => {type => 3, frequency => 1, weeknum => 1, daynum => 3, end => [31, 12, 2005]},
      id => 0x001006 },
    { date => [15, 1, 2004], description => "Pay the harbour dues",
      repeat => {type => 4, frequency => 3}, exceptions => [[15, 4, 2004]], id => 0x001007 },
    { date => [29, 2, 2004], description => "Leap day",
      repeat => {type => 5, frequency => 1, end => [1, 3, 2012]},
      alarm => {advance => 1, unit => 2}, category => 3, id => 0x001008 },
    { date => [20, 3, 2004], start => [6, 0], end => [6, 30], description => "Deleted",
      deleted => 1, id => 0x001009 },
    { date => [21, 3, 2004], start => [6, 0], end => [6, 30],
      description => "Back\\slash \\, \\; \\n all literal", note => "\xe9" x 100,
      id => 0x001001 },
    { date => [22, 3, 2004], start => [23, 0], end => [23, 59], description => "", id => 0 },
  );
  my @live;
  my %seen;
  for my $event (@events) {
    my $record = $pdb->new_Record;
    @{$record}{qw(day month year)} = @{$event->{date}};
    if ($event->{start}) {
      @{$record}{qw(start_hour start_minute)} = @{$event->{start}};
      @{$record}{qw(end_hour end_minute)} = @{$event->{end}};
    }
    $record->{alarm} = $event->{alarm} // {};
    $record->{description} = $event->{description};
    $record->{note} = $event->{note};
    $record->{other_flags} = 0;
    if (my $repeat = $event->{repeat}) {
      $record->{repeat} = {type => $repeat->{type}, frequency => $repeat->{frequency},
                           unknown => 0, start_of_week => $repeat->{start_of_week} // 0};
      @{$record->{repeat}}{qw(end_day end_month end_year)} = @{$repeat->{end}} if $repeat->{end};
      $record->{repeat}{repeat_days} = $repeat->{days} if $repeat->{days};
      @{$record->{repeat}}{qw(weeknum daynum)} = ($repeat->{weeknum}, $repeat->{daynum})
        if defined $repeat->{weeknum};
    }
    $record->{exceptions} = $event->{exceptions} // [];
    add($pdb, $record, category => $event->{category} // 0, private => $event->{private},
        deleted => $event->{deleted}, id => $event->{id});
    next if $event->{deleted};
    my %copy = %$event;
    $copy{description} = text($event->{description}) if defined $event->{description};
    $copy{note} = text($event->{note}) if defined $event->{note};
    $copy{category} = category_name($event->{category} // 0);
    $copy{private} = $event->{private} ? JSON::PP::true : JSON::PP::false;
    $copy{index} = scalar @live;
    $copy{id} = $record->{id};
    $copy{repeated_id} = $seen{$record->{id}}++ ? JSON::PP::true : JSON::PP::false;
    push @live, \%copy;
  }
  finish($pdb, "DatebookDB.pdb");
  $expected{events} = \@live;
}

# ---- tasks ----
{
  my $pdb = new_database("Palm::ToDo");
  my @tasks = (
    { description => "Wind the tide clock", note => "Every second tide; oil it too",
      priority => 1, due => [26, 2, 2004], category => 1 },
    { description => "Paint the \x93Heron\x94", priority => 3, completed => 1, private => 1 },
    { description => "Order \x80 coins", priority => 5, due => [29, 2, 2004], category => 2 },
    { description => "Thrown away", priority => 2, deleted => 1 },
    { description => "Back\\slash\\n, not a line end", priority => 2, completed => 1,
      due => [1, 3, 2004], category => 3 },
    { description => "Four", priority => 4, note => "" },
  );
  my @live;
  for my $task (@tasks) {
    my $record = $pdb->new_Record;
    $record->{description} = $task->{description};
    $record->{note} = $task->{note};
    $record->{priority} = $task->{priority};
    $record->{completed} = $task->{completed} ? 1 : 0;
    @{$record}{qw(due_day due_month due_year)} = @{$task->{due}} if $task->{due};
    add($pdb, $record, category => $task->{category} // 0, private => $task->{private},
        deleted => $task->{deleted});
    next if $task->{deleted};
    my %copy = %$task;
    $copy{description} = text($task->{description});
    $copy{note} = text($task->{note}) if defined $task->{note};
    $copy{category} = category_name($task->{category} // 0);
    $copy{private} = $task->{private} ? JSON::PP::true : JSON::PP::false;
    $copy{completed} = $task->{completed} ? JSON::PP::true : JSON::PP::false;
    $copy{id} = $record->{id};
    push @live, \%copy;
  }
  finish($pdb, "ToDoDB.pdb");
  $expected{tasks} = \@live;
}

open(my $out, ">", "$folder/expected.json") or die "cannot write expected.json\n";
print $out JSON::PP->new->utf8->canonical->pretty->encode(\%expected);
close $out;
