// dravik-tables: the three hiscore tables of the games directory as one line of JSON on
// standard output, for the web server, which shows them and may never write them:
//   {"single":{"entries":[["anna",812],...]},"winners":{...},"losers":{...}}
// A table that cannot be read is {"error":"<path>: <reason>"}. Always exits 0.
// Each file is read as the game's store reads it (open_games_file: once, without
// following a link, checked), but without the lock: see read_games_file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "results/games_files.h"
#include "results/hiscore_store.h"
#include "results/paths.h"

// The lock marker as a reading finds it: which of its two names it stands under, and
// when it was last renamed (a rename sets the change time).
struct MarkerState {
	bool held;          /* something stands under the lock name */
	bool free;          /* the marker stands under its free name */
	dev_t dev;          /* the free marker's file */
	ino_t ino;
	struct timespec changed;
};

static MarkerState marker_state(int dir)
{
	MarkerState m = {};
	struct stat st;
	m.held = fstatat(dir, LOCK_FILE + strlen(GAMES_DIR), &st, AT_SYMLINK_NOFOLLOW) == 0;
	m.free = fstatat(dir, UNLOCK_FILE + strlen(GAMES_DIR), &st, AT_SYMLINK_NOFOLLOW) == 0;
	if (m.free) {
		m.dev = st.st_dev;
		m.ino = st.st_ino;
		m.changed = st.st_ctim;
	}
	return m;
}

static bool same_marker(const MarkerState &a, const MarkerState &b)
{
	return a.held == b.held && a.free == b.free && a.dev == b.dev && a.ino == b.ino &&
	       a.changed.tv_sec == b.changed.tv_sec && a.changed.tv_nsec == b.changed.tv_nsec;
}

// Reads the file's `count` tables into hiscore_tables, names in their stored form: 0, or
// the errno that kept them from being read. A store rewrites a file in place under the
// lock, and a reading that overlaps the rewrite may meet old and new bytes mixed. Taking
// the lock would need the games group, and would keep a finished game from storing its
// result while the page is read; instead a reading counts only if the lock stood free,
// its marker unmoved, from before the open to after the last byte, and is tried again
// as take_lock tries. EBUSY when the lock stays held.
static int read_games_file(int dir, const char *path, int count)
{
	for (int i = 0; i < LOCK_TRIES; i++) {
		if (i > 0)
			usleep(LOCK_RETRY_USEC);
		MarkerState before = marker_state(dir);
		if (before.held)
			continue;
		int fd = open_games_file(dir, path, O_RDONLY);
		if (fd < 0)
			return errno;
		FILE *f = fdopen(fd, "r");
		if (!f) {
			int error = errno;
			close(fd);
			return error;
		}
		errno = 0;
		read_tables(f, count);
		int error = ferror(f) ? (errno ? errno : EIO) : 0;
		fclose(f);
		if (error)
			return error;
		if (same_marker(before, marker_state(dir))) {
			for (int t = 0; t < count; t++)
				for (int e = 0; e < TABLE_ENTRIES; e++)
					if (hiscore_tables[t].name[e][0])
						entry_name(hiscore_tables[t].name[e], hiscore_tables[t].name[e]);
			return 0;
		}
	}
	return EBUSY;
}

// A JSON string. Stored names are printable ASCII or UTF-8; the path is the build's.
static void put_string(const char *s)
{
	putchar('"');
	for (; *s; s++) {
		unsigned char c = *s;
		if (c == '"' || c == '\\')
			printf("\\%c", c);
		else if (c < 0x20 || c == 0x7f)
			printf("\\u%04x", c);
		else
			putchar(c);
	}
	putchar('"');
}

// One table: its entries read, best first, or the reason it could not be read. Empty
// places after the last entry read are left out.
static void put_table(const char *key, const HiscoreTable &t, const char *path, int error)
{
	printf("\"%s\":{", key);
	if (error) {
		char reason[256];
		snprintf(reason, sizeof reason, "%s: %s", path, strerror(error));
		printf("\"error\":");
		put_string(reason);
	} else {
		printf("\"entries\":[");
		for (int e = 0; e < TABLE_ENTRIES && t.name[e][0]; e++) {
			printf(e ? ",[" : "[");
			put_string(t.name[e]);
			printf(",%d]", (int)t.score[e]);
		}
		putchar(']');
	}
	putchar('}');
}

int main()
{
	HiscoreTable single = {};
	int dir = open(GAMES_DIR, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	int dir_error = dir < 0 ? errno : 0;
	int single_error = dir_error ? dir_error : read_games_file(dir, SINGLE_HISCORE_FILE, 1);
	if (!single_error)
		single = hiscore_tables[0];
	int duel_error = dir_error ? dir_error : read_games_file(dir, DUEL_HISCORE_FILE, 2);
	const char *single_path = dir_error ? GAMES_DIR : SINGLE_HISCORE_FILE;
	const char *duel_path = dir_error ? GAMES_DIR : DUEL_HISCORE_FILE;

	putchar('{');
	put_table("single", single, single_path, single_error);
	putchar(',');
	put_table("winners", hiscore_tables[0], duel_path, duel_error);
	putchar(',');
	put_table("losers", hiscore_tables[1], duel_path, duel_error);
	printf("}\n");
	if (dir >= 0)
		close(dir);
	return 0;
}
