// The hiscore store: the tables' text form, and the update of the files at the end of a
// game, under the lock of games_files.h.
#include "results/hiscore_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "results/games_files.h"
#include "results/paths.h"
#include "results/store_process.h"
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

// Code points that a terminal takes for commands or that turn the text around it: C1
// controls (CSI among them), bidirectional controls, line and paragraph separators,
// noncharacters. A name read out on an administrator's terminal holds none of them.
const struct { uint32_t first, last; } UNPRINTABLE[] = {
	{ 0x80, 0x9f },      { 0x200e, 0x200f }, { 0x2028, 0x202e }, { 0x2066, 0x2069 },
	{ 0xfdd0, 0xfdef },  { 0xfeff, 0xfeff }, { 0xfff9, 0xfffb }, { 0xfffe, 0xffff },
};

// The length of the well-formed UTF-8 sequence of a printable character at s, or 0.
static int printable_sequence(const unsigned char *s)
{
	static const uint32_t LEAST[] = { 0, 0, 0x80, 0x800, 0x10000 };   /* no overlong forms */
	if (s[0] < 0xc2 || s[0] > 0xf4)
		return 0;
	int n = s[0] >= 0xf0 ? 4 : s[0] >= 0xe0 ? 3 : 2;
	uint32_t code = s[0] & (0x7f >> n);
	for (int i = 1; i < n; i++) {
		if ((s[i] & 0xc0) != 0x80)   /* the zero byte that ends a name stops here too */
			return 0;
		code = code << 6 | (s[i] & 0x3f);
	}
	if (code < LEAST[n] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
		return 0;
	for (const auto &r : UNPRINTABLE)
		if (code >= r.first && code <= r.last)
			return 0;
	return n;
}

// Blanks and control bytes would split a stored entry or a log line: '_' stands in for
// them, and "-" for an empty name. Beyond ASCII a name is cut at the first byte that is
// not part of a printable character in UTF-8, and never inside a character.
static void one_word(char *out, int size, const char *name)
{
	const unsigned char *s = (const unsigned char *)name;
	int n = 0;

	while (*s) {
		int length = *s < 0x80 ? 1 : printable_sequence(s);
		if (length == 0 || n + length > size - 1)
			break;
		if (length == 1)
			out[n] = isspace(*s) || iscntrl(*s) ? '_' : *s;
		else
			memcpy(out + n, s, length);
		n += length;
		s += length;
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
