// Files of the games directory and its lock. Every open adds O_NOFOLLOW (a link is
// refused), O_NONBLOCK (a FIFO or a device cannot keep the game waiting while it holds
// the lock) and O_CLOEXEC.
#include "results/games_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "results/paths.h"

const int SAFE_OPEN = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

gid_t games_file_group = (gid_t)-1;

// The name of a file of the games directory, relative to it.
static const char *name_in_dir(const char *path)
{
	return path + strlen(GAMES_DIR);
}

// Whether the name `name` in dir is the file `st` still, unchanged since st was taken.
static bool names_file(int dir, const char *name, const struct stat &st)
{
	struct stat named;
	return fstatat(dir, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == st.st_dev &&
	       named.st_ino == st.st_ino && named.st_ctim.tv_sec == st.st_ctim.tv_sec &&
	       named.st_ctim.tv_nsec == st.st_ctim.tv_nsec;
}

// The rename alone takes the lock; the flock taken after it only tells later games that
// the holder lives. Until then the rename's fresh change time keeps the marker from being
// taken for stale, and a marker that an outsider keeps flocked no longer keeps the lock
// from anyone.
static int take_free_marker(int dir)
{
	if (renameat(dir, name_in_dir(UNLOCK_FILE), dir, name_in_dir(LOCK_FILE)) != 0)
		return -1;
	int fd = openat(dir, name_in_dir(LOCK_FILE), O_RDONLY | SAFE_OPEN);
	struct stat st;
	if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
		flock(fd, LOCK_EX | LOCK_NB);
		return fd;
	}
	if (fd >= 0)
		close(fd);
	renameat(dir, name_in_dir(LOCK_FILE), dir, name_in_dir(UNLOCK_FILE));
	return -1;
}

// Takes back a marker under the lock name whose holder is gone (nobody keeps an flock on
// it, and it has stood there STALE_LOCK_SECONDS: the rename set its change time) or
// overdue (it has stood there LOCK_HOLD_LIMIT_SECONDS, flock or not). A stopped holder
// keeps its flock, and below the limit is never overridden. The marker is replaced, not
// reused: the late holder's own still stands on the old one, and a fresh change time keeps
// the next game from taking this one back at once. The fresh marker is made under the
// free name, which no game holds while the lock name is taken, so that of two games
// taking the same marker back only one makes it.
static int take_back_marker(int dir)
{
	int old = openat(dir, name_in_dir(LOCK_FILE), O_RDONLY | SAFE_OPEN);
	if (old < 0)
		return -1;
	struct stat held;
	bool unheld = flock(old, LOCK_EX | LOCK_NB) == 0;
	bool due = fstat(old, &held) == 0 && S_ISREG(held.st_mode) &&
	           names_file(dir, name_in_dir(LOCK_FILE), held) &&
	           time(nullptr) - held.st_ctime >= (unheld ? STALE_LOCK_SECONDS : LOCK_HOLD_LIMIT_SECONDS);
	close(old);
	if (!due)
		return -1;
	int fd = openat(dir, name_in_dir(UNLOCK_FILE), O_RDONLY | O_CREAT | O_EXCL | SAFE_OPEN, 0600);
	if (fd < 0)
		return -1;
	struct stat fresh;
	if (fchown(fd, (uid_t)-1, held.st_gid) != 0 && errno != EPERM)
		perror(UNLOCK_FILE);
	if (fchmod(fd, held.st_mode & 0666) != 0)
		perror(UNLOCK_FILE);
	flock(fd, LOCK_EX | LOCK_NB);
	if (fstat(fd, &fresh) == 0 && names_file(dir, name_in_dir(LOCK_FILE), held) &&
	    renameat(dir, name_in_dir(UNLOCK_FILE), dir, name_in_dir(LOCK_FILE)) == 0)
		return fd;
	// The holder woke and gave its marker back meanwhile: the fresh one goes, unless that
	// marker has already taken its name.
	struct stat named;
	if (fstatat(dir, name_in_dir(UNLOCK_FILE), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
	    named.st_ino == fresh.st_ino && named.st_dev == fresh.st_dev)
		unlinkat(dir, name_in_dir(UNLOCK_FILE), 0);
	close(fd);
	return -1;
}

bool take_lock(GamesLock &lock)
{
	sigset_t all;
	sigfillset(&all);
	lock.dir = open(GAMES_DIR, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	for (int i = 0; i < LOCK_TRIES; i++) {
		sigprocmask(SIG_BLOCK, &all, &lock.old_mask);
		if (lock.dir >= 0) {
			lock.marker = take_free_marker(lock.dir);
			if (lock.marker < 0)
				lock.marker = take_back_marker(lock.dir);
			if (lock.marker >= 0) {
				fstat(lock.marker, &lock.own);
				return true;
			}
		}
		sigprocmask(SIG_SETMASK, &lock.old_mask, nullptr);
		usleep(LOCK_RETRY_USEC);
	}
	fprintf(stderr, "Sorry can't lock hiscore-file\n");
	if (lock.dir >= 0)
		close(lock.dir);
	return false;
}

bool lock_still_held(const GamesLock &lock)
{
	return names_file(lock.dir, name_in_dir(LOCK_FILE), lock.own);
}

void report_lock_lost()
{
	fprintf(stderr, "Sorry hiscore-file lock taken back, result not stored\n");
}

// Renamed before the flock goes, so that no other game takes the marker for stale while
// it still has the lock name. A lock taken back from this game is no longer its to free.
void release_lock(GamesLock &lock)
{
	if (lock_still_held(lock))
		renameat(lock.dir, name_in_dir(LOCK_FILE), lock.dir, name_in_dir(UNLOCK_FILE));
	close(lock.marker);
	close(lock.dir);
	sigprocmask(SIG_SETMASK, &lock.old_mask, nullptr);
}

// The errno that refuses a file, or 0 when it is one of ours.
static int refusal(const struct stat &st)
{
	if (S_ISDIR(st.st_mode))
		return EISDIR;
	if (!S_ISREG(st.st_mode))
		return EINVAL;
	if (st.st_nlink != 1)
		return EMLINK;
	if (games_file_group != (gid_t)-1 && st.st_gid != games_file_group)
		return EPERM;
	return 0;
}

int open_games_file(int dir, const char *path, int flags)
{
	int fd = openat(dir, name_in_dir(path), flags | SAFE_OPEN);
	if (fd < 0)
		return -1;
	struct stat st;
	int error = fstat(fd, &st) == 0 ? refusal(st) : errno;
	if (error == 0)
		return fd;
	close(fd);
	errno = error;
	return -1;
}

int create_games_file(int dir, const char *path)
{
	struct stat d;
	if (fstat(dir, &d) != 0)
		return -1;
	int fd = openat(dir, name_in_dir(path), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | SAFE_OPEN,
	                0600);
	if (fd < 0)
		return -1;
	// The group may be refused to a player outside it; the mode then still lets others in
	// where the directory does.
	if (fchown(fd, (uid_t)-1, d.st_gid) != 0 && errno != EPERM) {
		close(fd);
		return -1;
	}
	if (fchmod(fd, 0664 | (d.st_mode & S_IWOTH)) != 0) {
		close(fd);
		return -1;
	}
	return fd;
}

bool size_allowed(off_t length)
{
	struct rlimit limit;
	if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
	    (rlim_t)length > limit.rlim_cur) {
		errno = EFBIG;
		return false;
	}
	return true;
}
