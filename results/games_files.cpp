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

// Takes the free marker: flocked first, so that under the lock name it is never without
// its holder's flock.
static int take_free_marker(int dir)
{
	int fd = openat(dir, name_in_dir(UNLOCK_FILE), O_RDONLY | SAFE_OPEN);
	if (fd < 0)
		return -1;
	if (flock(fd, LOCK_EX | LOCK_NB) == 0 &&
	    renameat(dir, name_in_dir(UNLOCK_FILE), dir, name_in_dir(LOCK_FILE)) == 0)
		return fd;
	close(fd);
	return -1;
}

// Takes a marker under the lock name whose holder is gone: nobody keeps an flock on it,
// and it has stood there for STALE_LOCK_SECONDS (the rename set its change time). A
// holder stopped by a signal still holds its flock, and is never overridden.
static int take_stale_marker(int dir)
{
	int fd = openat(dir, name_in_dir(LOCK_FILE), O_RDONLY | SAFE_OPEN);
	if (fd < 0)
		return -1;
	struct stat held, named;
	if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &held) == 0 &&
	    fstatat(dir, name_in_dir(LOCK_FILE), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
	    held.st_dev == named.st_dev && held.st_ino == named.st_ino &&
	    time(nullptr) - named.st_ctime >= STALE_LOCK_SECONDS)
		return fd;
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
				lock.marker = take_stale_marker(lock.dir);
			if (lock.marker >= 0)
				return true;
		}
		sigprocmask(SIG_SETMASK, &lock.old_mask, nullptr);
		usleep(LOCK_RETRY_USEC);
	}
	fprintf(stderr, "Sorry can't lock hiscore-file\n");
	if (lock.dir >= 0)
		close(lock.dir);
	return false;
}

// Renamed before the flock goes, so that no other game takes the marker for stale while
// it still has the lock name.
void release_lock(GamesLock &lock)
{
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
