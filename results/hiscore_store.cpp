// The hiscore store. The lock is a marker file that a game renames to take it: rename
// is atomic, so of several games ending at once only one finds the marker.
#include "results/hiscore_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "results/paths.h"
#include "rules/game.h"

HiscoreTable hiscore_tables[TABLE_COUNT];

const int ENTRY_LINE_SIZE = ENTRY_NAME_SIZE + 13;   /* name, " -2147483648\n" */
const int TABLES_TEXT_SIZE = TABLE_COUNT * TABLE_ENTRIES * ENTRY_LINE_SIZE;
const int LOG_LINE_SIZE = 2 * NAME_SIZE + 64;   /* two whole names, two scores, the time */
const int TOKEN_SIZE = 32;                    /* longer words are cut when read */

void place_in_table(HiscoreTable &t, const char *name, int32_t score)
{
	int place = -1, own = -1;

	for (int i = 0; i < TABLE_ENTRIES && place < 0; i++)
		if (t.score[i] < score)
			place = i;
	for (int i = 0; i < TABLE_ENTRIES; i++)
		if (strcmp(t.name[i], name) == 0)
			own = i;
	if (place < 0 || (own >= 0 && own < place))
		return;
	if (own == place) {
		t.score[place] = score;
		return;
	}
	// Move entries down from the bottom up, over the own entry or off the table.
	int last = own >= 0 ? own : TABLE_ENTRIES - 1;
	for (int i = last; i > place; i--) {
		memcpy(t.name[i], t.name[i - 1], ENTRY_NAME_SIZE);
		t.score[i] = t.score[i - 1];
	}
	snprintf(t.name[place], ENTRY_NAME_SIZE, "%s", name);
	t.score[place] = score;
}

// Blanks and control bytes would split a stored entry or a log line: '_' stands in for
// them, and "-" for an empty name.
static void one_word(char *out, int size, const char *name)
{
	int n = 0;

	for (; name[n] && n < size - 1; n++) {
		unsigned char c = name[n];
		out[n] = isspace(c) || iscntrl(c) ? '_' : c;
	}
	out[n] = '\0';
	if (n == 0)
		snprintf(out, size, "-");
}

void entry_name(char out[ENTRY_NAME_SIZE], const char *name)
{
	one_word(out, ENTRY_NAME_SIZE, name);
}

// The next white-space separated word of f, cut to fit `size`, and the byte after it
// (EOF at the end). False when no word is left.
static bool read_word(FILE *f, char *word, int size, int *after)
{
	int c, n = 0;

	while ((c = getc(f)) != EOF && isspace(c))
		;
	if (c == EOF)
		return false;
	for (; c != EOF && !isspace(c); c = getc(f))
		if (n < size - 1)
			word[n++] = c;
	word[n] = '\0';
	*after = c;
	return true;
}

// An integer as "%i" reads it (sign, 0x hexadecimal, 0 octal), filling the whole word.
static bool parse_score(const char *word, int32_t *score)
{
	char *end;
	errno = 0;
	long v = strtol(word, &end, 0);

	if (end == word || *end || errno || v < INT32_MIN || v > INT32_MAX)
		return false;
	*score = v;
	return true;
}

enum EntryRead { ENTRY_END, ENTRY_DAMAGED, ENTRY_READ };

// The next entry of f. A damaged entry ends with its line, so that one bad line costs
// only its own entry.
static EntryRead read_entry(FILE *f, char name[ENTRY_NAME_SIZE], int32_t *score)
{
	char word[TOKEN_SIZE];
	int after;

	if (!read_word(f, word, sizeof word, &after))
		return ENTRY_END;
	snprintf(name, ENTRY_NAME_SIZE, "%.*s", ENTRY_NAME_SIZE - 1, word);
	if (!read_word(f, word, sizeof word, &after))
		return ENTRY_END;
	if (parse_score(word, score))
		return ENTRY_READ;
	while (after != '\n' && after != EOF)
		after = getc(f);
	return ENTRY_DAMAGED;
}

// A damaged entry still counts among its table's 15, so the tables keep their places in
// the file; the entries after it move up, and the table's last places stay empty.
int read_tables(FILE *f, int count)
{
	int read = 0;

	memset(hiscore_tables, 0, sizeof hiscore_tables[0] * count);
	for (int t = 0; t < count; t++) {
		HiscoreTable &table = hiscore_tables[t];
		int kept = 0;
		for (int i = 0; i < TABLE_ENTRIES; i++) {
			char name[ENTRY_NAME_SIZE];
			int32_t score;
			EntryRead r = read_entry(f, name, &score);
			if (r == ENTRY_END)
				return read;
			if (r == ENTRY_DAMAGED)
				continue;
			memcpy(table.name[kept], name, sizeof name);
			table.score[kept++] = score;
			read++;
		}
	}
	return read;
}

void write_tables(FILE *f, int count)
{
	char name[ENTRY_NAME_SIZE];

	for (int t = 0; t < count; t++)
		for (int i = 0; i < TABLE_ENTRIES; i++) {
			entry_name(name, hiscore_tables[t].name[i]);
			fprintf(f, "%s %i\n", name, hiscore_tables[t].score[i]);
		}
}

void format_log_line(char *out, size_t size, const char *winner, int32_t winner_score,
                     const char *loser, int32_t loser_score, long when)
{
	time_t t = when;
	char time_text[32] = "";
	const char *c = ctime(&t);

	if (c)   /* ctime's text without its newline */
		snprintf(time_text, sizeof time_text, "%.*s", (int)strcspn(c, "\n"), c);
	snprintf(out, size, "%s - %i v %s - %i %s\n", winner, winner_score, loser, loser_score,
	         time_text);
}

// The signals that would end the game while it holds the lock, leaving the marker under
// its lock name for good. They wait until the lock is released; no handler is installed.
static sigset_t held_signals()
{
	sigset_t set;
	sigemptyset(&set);
	sigaddset(&set, SIGHUP);
	sigaddset(&set, SIGINT);
	sigaddset(&set, SIGQUIT);
	sigaddset(&set, SIGTERM);
	return set;
}

// On success the held signals stay blocked, until release_lock.
static bool take_lock(sigset_t *old_mask)
{
	sigset_t held = held_signals();

	for (int i = 0; i < LOCK_TRIES; i++) {
		sigprocmask(SIG_BLOCK, &held, old_mask);
		if (rename(UNLOCK_FILE, LOCK_FILE) == 0)
			return true;
		sigprocmask(SIG_SETMASK, old_mask, nullptr);
		usleep(LOCK_RETRY_USEC);
	}
	fprintf(stderr, "Sorry can't lock hiscore-file\n");
	return false;
}

static void release_lock(const sigset_t *old_mask)
{
	rename(LOCK_FILE, UNLOCK_FILE);
	sigprocmask(SIG_SETMASK, old_mask, nullptr);
}

// pwrite until every byte is written or a write fails.
static bool write_at(int fd, const char *bytes, size_t size, off_t at)
{
	while (size > 0) {
		ssize_t n = pwrite(fd, bytes, size, at);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			return false;
		bytes += n;
		size -= n;
		at += n;
	}
	return true;
}

// The file is rewritten in place, so that it keeps its owner and permissions: a new
// file would belong to the player, who could then shut every other player out of it.
// What goes beyond the old end is written first, and a file that cannot grow (a full
// disk) is cut back to the old tables. The rest then overwrites the old bytes, and the
// file is cut to the new length. A game killed at any moment leaves the old tables or
// the new ones whole, at worst followed by bytes that no reading reaches.
static void rewrite_hiscore_file(int count)
{
	char text[TABLES_TEXT_SIZE];
	FILE *mem = fmemopen(text, sizeof text, "w");
	if (!mem) {
		perror(hiscore_path);
		return;
	}
	write_tables(mem, count);
	off_t length = ftell(mem);
	fclose(mem);

	struct stat old;
	int fd = open(hiscore_path, O_WRONLY | O_CREAT, 0666);
	if (fd < 0 || fstat(fd, &old) != 0) {
		perror(hiscore_path);
		if (fd >= 0)
			close(fd);
		return;
	}
	off_t kept = old.st_size < length ? old.st_size : length;
	bool written = write_at(fd, text + kept, length - kept, kept);
	if (!written) {
		int error = errno;   /* the failed write's, unless cutting back fails too */
		if (ftruncate(fd, old.st_size) == 0)
			errno = error;
	} else
		written = write_at(fd, text, kept, 0) && ftruncate(fd, length) == 0 && fsync(fd) == 0;
	if (!written)
		perror(hiscore_path);
	close(fd);
}

static void append_match_log()
{
	char line[LOG_LINE_SIZE], winner[NAME_SIZE], loser[NAME_SIZE];
	const Player &w = players[winner_index], &l = players[loser_index];

	// Whole names, each one word, so that a duel is always one line of the log.
	one_word(winner, sizeof winner, w.name);
	one_word(loser, sizeof loser, l.name);
	format_log_line(line, sizeof line, winner, w.score, loser, l.score, time(nullptr));
	FILE *f = fopen(MATCH_LOG_FILE, "a");
	if (!f) {
		perror(MATCH_LOG_FILE);
		return;
	}
	bool written = fputs(line, f) >= 0 && fflush(f) == 0;
	if (fclose(f) != 0 || !written)
		perror(MATCH_LOG_FILE);
}

void give_up_games_group()
{
	if (setegid(getgid()) != 0) {
		perror("setegid");
		exit(EXIT_FAILURE);
	}
}

// The saved set-group-ID is the group the program was installed with; where it equals
// the effective group there is nothing to take back. A failure leaves the files to the
// player's own rights, which is the safe side.
static void take_games_group()
{
	gid_t real, effective, saved;

	if (getresgid(&real, &effective, &saved) == 0 && effective != saved &&
	    setegid(saved) != 0)
		perror("setegid");
}

static void store_results()
{
	int count = is_duel() ? 2 : 1;
	sigset_t old_mask;

	if (!take_lock(&old_mask))
		return;
	FILE *f = fopen(hiscore_path, "r");
	bool have_tables = f != nullptr;
	if (f) {
		HiscoreTable shown[TABLE_COUNT];
		memcpy(shown, hiscore_tables, sizeof shown);
		read_tables(f, count);
		// A file that fails midway would be rewritten half empty: treat it as unreadable.
		have_tables = !ferror(f);
		if (!have_tables) {
			perror(hiscore_path);
			memcpy(hiscore_tables, shown, sizeof shown);
		}
		fclose(f);
	} else
		perror(hiscore_path);
	if (have_tables) {
		if (!debug_mode) {
			char name[ENTRY_NAME_SIZE];
			entry_name(name, players[winner_index].name);
			place_in_table(hiscore_tables[0], name, players[winner_index].score);
			if (is_duel()) {
				entry_name(name, players[loser_index].name);
				place_in_table(hiscore_tables[1], name, players[loser_index].score);
			}
			rewrite_hiscore_file(count);
		}
		if (is_duel())
			append_match_log();
	}
	release_lock(&old_mask);
}

void update_hiscores()
{
	take_games_group();
	store_results();
	give_up_games_group();
}
