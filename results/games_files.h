// The games directory as the store meets it: shared with players who need not trust each
// other, so any name in it may be a link, a FIFO, a device or somebody else's file. Each
// file is opened once, relative to the directory, without following a link, and checked
// before a byte moves. The lock is the marker's rename; an flock that the holder keeps on
// the marker tells a live holder from one that is gone, and a lock held far longer than
// any store takes is taken back all the same. Start with take_lock.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <csignal>

const int LOCK_TRIES = 10;
const int LOCK_RETRY_USEC = 200000;
// A marker under the lock name that nobody holds is taken back once it has stood there
// this long: a game of an older build holds the lock without an flock, for a moment.
const int STALE_LOCK_SECONDS = 10;
// A marker under the lock name is taken back after this long even from a holder that
// lives: a store takes well under a second, so its holder has been stopped. The late
// holder finds the lock name no longer its own and writes nothing more.
const int LOCK_HOLD_LIMIT_SECONDS = 60;

// The group that every file of the directory must have, or -1 for any: the store process
// of a set-group-ID install sets it to the group it holds.
extern gid_t games_file_group;

struct GamesLock {
	int dir;              /* the games directory, open */
	int marker;           /* the marker, open and, unless an outsider holds it, flocked */
	struct stat own;      /* the marker as this game's rename left it under the lock name */
	sigset_t old_mask;    /* the signals blocked before the lock was taken */
};

// Opens the games directory and takes the lock, trying LOCK_TRIES times LOCK_RETRY_USEC
// apart. While it is held every signal that can wait does, so that no signal ends the
// game between the two renames. On failure prints the lock message, and nothing is held.
bool take_lock(GamesLock &lock);

// Whether the lock is still this game's: the lock name names its marker, unchanged since
// its rename. False once another game has taken the lock back; say so with
// report_lock_lost and write nothing more.
bool lock_still_held(const GamesLock &lock);
void report_lock_lost();

// Gives the marker its free name back (unless the lock was taken back meanwhile), closes
// what take_lock opened, lets signals in.
void release_lock(GamesLock &lock);

// Opens `path`, a file of the games directory, with `flags` (O_RDONLY, O_RDWR or
// O_WRONLY | O_APPEND), never creating it. Refuses, with errno set and -1, anything but a
// regular file with one link and the required group: ELOOP a link, EISDIR a directory,
// EINVAL another kind, EMLINK a second name, EPERM another group.
int open_games_file(int dir, const char *path, int flags);

// Makes `path` in the games directory, only if nothing has that name, with the directory's
// group and mode 664 whatever the umask (666 where the directory is writable by all).
// Opened for appending; -1 with errno set when it cannot be made.
int create_games_file(int dir, const char *path);

// Whether the file-size limit lets a file reach `length` bytes; false with errno EFBIG.
bool size_allowed(off_t length);
