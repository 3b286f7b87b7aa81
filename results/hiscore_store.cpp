// The hiscore store: the update of the files at the end of a game, under the lock of
// games_files.h. The tables' text form is in hiscore_text.cpp.
#include "results/hiscore_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "results/games_files.h"
#include "results/paths.h"
#include "results/store_process.h"
#include "rules/game.h"

const int ENTRY_LINE_SIZE = ENTRY_NAME_SIZE + 13;   /* name, " -2147483648\n" */
const int TABLES_TEXT_SIZE = TABLE_COUNT * TABLE_ENTRIES * ENTRY_LINE_SIZE;
const int LOG_LINE_SIZE = 2 * NAME_SIZE + 64;   /* two whole names, two scores, the time */

// pwrite until every byte is written or a write fails.
static bool write_at(int fd, const char *bytes, size_t size, off_t at)
{
	while (size > 0) {
		ssize_t n = pwrite(fd, bytes, size, at);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0) {
			if (n == 0)
				errno = ENOSPC;
			return false;
		}
		bytes += n;
		size -= n;
		at += n;
	}
	return true;
}

// The file is rewritten in place, through the descriptor it was read from, so that it
// keeps its owner and permissions: a new file would belong to the player, who could then
// shut every other player out of it. What goes beyond the old end is written first, then
// the rest overwrites the old bytes, and the file is cut to the new length: a game killed
// at any moment leaves the old tables or the new ones whole, at worst followed by bytes
// that no reading reaches. A rewrite that the file-size limit would cut short is not
// begun, and one that fails midway (a full disk) puts the old bytes back.
static void rewrite_hiscore_file(int fd, int count)
{
	char text[TABLES_TEXT_SIZE], old_text[TABLES_TEXT_SIZE];
	FILE *mem = fmemopen(text, sizeof text, "w");
	if (!mem) {
		perror(hiscore_path);
		return;
	}
	write_tables(mem, count);
	off_t length = ftell(mem);
	fclose(mem);

	struct stat old;
	if (fstat(fd, &old) != 0 || !size_allowed(old.st_size > length ? old.st_size : length)) {
		perror(hiscore_path);
		return;
	}
	off_t kept = old.st_size < length ? old.st_size : length;
	if (pread(fd, old_text, kept, 0) != kept) {
		perror(hiscore_path);
		return;
	}
	if (write_at(fd, text + kept, length - kept, kept) && write_at(fd, text, kept, 0) &&
	    ftruncate(fd, length) == 0 && fsync(fd) == 0)
		return;
	int error = errno;
	if (write_at(fd, old_text, kept, 0) && ftruncate(fd, old.st_size) == 0)
		errno = error;   /* else the undoing's own failure is the one to tell */
	perror(hiscore_path);
}

// One write of the whole line, cut back to the old end if it falls short.
static void append_line(int fd, const char *line)
{
	size_t size = strlen(line);
	struct stat old;
	if (fstat(fd, &old) != 0 || !size_allowed(old.st_size + size)) {
		perror(MATCH_LOG_FILE);
		return;
	}
	if (old.st_size + (off_t)size > MATCH_LOG_LIMIT) {
		errno = EFBIG;
		perror(MATCH_LOG_FILE);
		return;
	}
	ssize_t n = write(fd, line, size);
	if (n == (ssize_t)size)
		return;
	int error = n < 0 ? errno : ENOSPC;
	if (n <= 0 || ftruncate(fd, old.st_size) == 0)
		errno = error;
	perror(MATCH_LOG_FILE);
}

// A log that is missing is made, with rights that let every player's duel in; but not by
// the store process of a set-group-ID install: the log would belong to this player, who
// could then rewrite the other players' lines. There the installation makes it.
static void append_match_log(int dir)
{
	char line[LOG_LINE_SIZE], winner[NAME_SIZE], loser[NAME_SIZE];
	const Player &w = players[winner_index], &l = players[loser_index];

	// Whole names, each one word, so that a duel is always one line of the log.
	one_word(winner, sizeof winner, w.name);
	one_word(loser, sizeof loser, l.name);
	format_log_line(line, sizeof line, winner, w.score, loser, l.score, time(nullptr));
	int fd = open_games_file(dir, MATCH_LOG_FILE, O_WRONLY | O_APPEND);
	if (fd < 0 && errno == ENOENT && games_file_group == (gid_t)-1)
		fd = create_games_file(dir, MATCH_LOG_FILE);
	if (fd < 0) {
		perror(MATCH_LOG_FILE);
		return;
	}
	append_line(fd, line);
	close(fd);
}

// Reads the tables from fd: false, with the tables in memory as they were, when the
// reading fails midway, since the file would be rewritten half empty.
static bool read_hiscore_file(int fd, int count)
{
	HiscoreTable shown[TABLE_COUNT];
	memcpy(shown, hiscore_tables, sizeof shown);
	int copy = dup(fd);
	FILE *f = copy >= 0 ? fdopen(copy, "r") : nullptr;
	if (!f) {
		if (copy >= 0)
			close(copy);
		perror(hiscore_path);
		return false;
	}
	read_tables(f, count);
	// Empty places are shown as they will read back once stored.
	for (int t = 0; t < count; t++)
		for (int i = 0; i < TABLE_ENTRIES; i++)
			entry_name(hiscore_tables[t].name[i], hiscore_tables[t].name[i]);
	bool read = !ferror(f);
	if (!read) {
		perror(hiscore_path);
		memcpy(hiscore_tables, shown, sizeof shown);
	}
	fclose(f);
	return read;
}

static void place_results()
{
	char name[ENTRY_NAME_SIZE];
	entry_name(name, players[winner_index].name);
	place_in_table(hiscore_tables[0], name, players[winner_index].score);
	if (is_duel()) {
		entry_name(name, players[loser_index].name);
		place_in_table(hiscore_tables[1], name, players[loser_index].score);
	}
}

void store_results()
{
	int count = is_duel() ? 2 : 1;
	GamesLock lock;

	if (!take_lock(lock))
		return;
	// Each write first makes sure the lock is still this game's: a holder stopped long
	// enough has had it taken back, and another game may be writing.
	bool lost = false;
	auto held = [&] {
		if (!lost && !lock_still_held(lock)) {
			report_lock_lost();
			lost = true;
		}
		return !lost;
	};
	// A file that may be read but not written is still read and shown; the reason it
	// cannot be written is told where the rewrite would be.
	int write_error = 0;
	int fd = open_games_file(lock.dir, hiscore_path, debug_mode ? O_RDONLY : O_RDWR);
	if (fd < 0 && (errno == EACCES || errno == EROFS)) {
		write_error = errno;
		fd = open_games_file(lock.dir, hiscore_path, O_RDONLY);
	}
	if (fd < 0)
		perror(hiscore_path);
	else if (read_hiscore_file(fd, count)) {
		if (!debug_mode) {
			place_results();
			if (write_error) {
				errno = write_error;
				perror(hiscore_path);
			} else if (held())
				rewrite_hiscore_file(fd, count);
		}
		if (is_duel() && held())
			append_match_log(lock.dir);
	}
	if (fd >= 0)
		close(fd);
	release_lock(lock);
}

void update_hiscores()
{
	if (!store_in_store_process())
		store_results();
}
