// The hiscore tables' text form: a name's stored form, and the tables read from and
// written to a stream. Nothing here touches a file or the display: the game's store and
// the tables' reader share it.
#include "results/hiscore_store.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

HiscoreTable hiscore_tables[TABLE_COUNT];

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
void one_word(char *out, int size, const char *name)
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
