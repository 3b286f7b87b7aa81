#!/usr/bin/perl
# Makes the games directory and its files where they are missing, for an install
# (games_dir.cmake) and for the Debian package's post-install script, which carries this
# script whole. Needs only perl-base.
#   perl games_files.pl <dir> <dir mode> <file mode> <single-play table> <duel tables> [<group>]
# Prints "Creating <path>" or "Keeping <path>" for each name.
# The group may write the directory (all may, without a group), and so may swap any name
# in it for a link to a file it could not write. Nothing here follows a link or sets an
# owner or a mode by path: each file is made new, never opened when its name exists (the
# lock marker aside, opened without following a link), and gets its group and mode
# through its descriptor, so a name swapped meanwhile costs only the file made here.
# Errors and what is left unmended go to standard error.
use strict;
use warnings;
use Errno qw(EEXIST ELOOP ENOENT);
use Fcntl qw(:mode O_CREAT O_DIRECTORY O_EXCL O_NOFOLLOW O_NONBLOCK O_RDONLY O_WRONLY);

my ($dir, $dir_mode, $file_mode, $single, $duel, $group) = @ARGV;
defined $duel or die "usage: games_files.pl <dir> <dir mode> <file mode> <single-play table> <duel tables> [<group>]\n";
$dir =~ s{(.)/+$}{$1};   # names are appended with a slash of their own
my $gid = -1;            # the group left as it is
if (defined $group) {
	$gid = getgrnam($group);
	defined $gid or die "no group $group\n";
}
# Whoever may open the lock marker may hold an flock on it, and then no game can take the
# lock: with a group, nobody outside it may open the marker.
my $marker_mode = defined $group ? sprintf('%o', oct($file_mode) & ~07) : $file_mode;

# own(<handle>, <mode>, <path>): the group first, since a change of group may clear the
# set-group-ID bit that the mode sets.
sub own {
	my ($handle, $mode, $path) = @_;
	chown(-1, $gid, $handle) or die "cannot give $path to group $group: $!\n";
	chmod(oct($mode), $handle) or die "cannot set mode $mode on $path: $!\n";
}

# make_parents(<dir>): the directory and those above it, as mkdir -p makes them.
sub make_parents {
	my ($path) = @_;
	return if $path eq '' || -d $path;
	(my $up = $path) =~ s{/*[^/]*$}{};
	make_parents($up);
	mkdir($path) or -d $path or die "cannot create $path: $!\n";
}

# create(<name>, <text>, <mode>): the file with that text, unless the name exists.
sub create {
	my ($name, $text, $mode) = @_;
	my $path = "$dir/$name";
	my $file;
	if (!sysopen($file, $path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK, 0600)) {
		$! == EEXIST or die "cannot create $path: $!\n";
		print "Keeping $path\n";
		return;
	}
	print "Creating $path\n";
	(syswrite($file, $text) // -1) == length($text) or die "cannot write $path: $!\n";
	own($file, $mode, $path);
	close($file) or die "cannot write $path: $!\n";
}

# keep_marker(): the lock marker under either name, a game's held one included, given
# the group and the marker's mode (with a group) through a descriptor. Anything there but
# a plain file with one name is left as it is and reported. False when neither name exists.
sub keep_marker {
	for (1 .. 5) {   # a game may rename the marker between the two looks
		for my $name ('.dravik.unlock', '.dravik.lock') {
			my $path = "$dir/$name";
			my $marker;
			if (!sysopen($marker, $path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK)) {
				next if $! == ENOENT;
				warn "Leaving $path as it is: ", ($! == ELOOP ? 'a link' : $!), "\n";
				return 1;
			}
			my @st = stat($marker);
			if (!@st || !S_ISREG($st[2]) || $st[3] != 1) {
				warn "Leaving $path as it is: not a plain file with one name\n";
				return 1;
			}
			print "Keeping $path\n";
			own($marker, $marker_mode, $path) if defined $group;
			return 1;
		}
	}
	return 0;
}

# Games rename the marker between its two names at any moment, and no look at the names
# can be acted on in the same step: a marker made after a look that found neither could
# join one that a game renamed meanwhile, and two games could then hold the lock at once.
# Where no marker exists no game makes one, so the marker is made only together with the
# directory, before anyone else may enter it; in a directory that exists a marker is
# only kept, and a missing one is reported for the administrator to make.
if (!-d $dir) {
	print "Creating $dir\n";
	(my $parent = $dir) =~ s{/*[^/]*$}{};
	make_parents($parent);
	mkdir($dir, 0700) or die "cannot create $dir: $!\n";   # no one else's until its mode is set
	sysopen(my $handle, $dir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW) or die "cannot open $dir: $!\n";
	create('.dravik.unlock', '', $marker_mode);
	own($handle, $dir_mode, $dir);
	close($handle);
} elsif (!keep_marker()) {
	my $make = "install -m $marker_mode" . (defined $group ? " -g $group" : '');
	warn "No lock marker in $dir: no game can store its results. While neither " .
	     ".dravik.unlock nor .dravik.lock exists there, make it: " .
	     "$make /dev/null $dir/.dravik.unlock\n";
}
create('.dravik.hiscore.single', $single, $file_mode);
create('.dravik.hiscore', $duel, $file_mode);
create('.dravik.log', '', $file_mode);
