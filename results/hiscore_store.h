// The hiscore tables and the files that keep them, behind a lock taken by renaming a
// marker; and the match log of duels. Start with update_hiscores. The tables' text form
// (hiscore_text.cpp) needs neither the game nor the display.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>

const int TABLE_COUNT = 2;        /* duel: winners, losers; single play: table 0 only */
const int TABLE_ENTRIES = 15;
const int ENTRY_NAME_SIZE = 10;   /* a name of at most 9 bytes and its zero byte */
// The match log grows no further: decades of duels at hundreds a day, and a bound on
// what requests that no game played could make it take of the disk.
const off_t MATCH_LOG_LIMIT = 64L << 20;   /* bytes */

struct HiscoreTable {
	char name[TABLE_ENTRIES][ENTRY_NAME_SIZE];   /* best first */
	int32_t score[TABLE_ENTRIES];
};

extern HiscoreTable hiscore_tables[TABLE_COUNT];

// Places a result by the table's rule: a new name enters above the first strictly lower
// score, pushing the last entry out; a name already there moves up only with a strictly
// higher score, overwriting its old entry. REQUIRES: name of at most 9 bytes.
void place_in_table(HiscoreTable &table, const char *name, int32_t score);

// The form in which a name is stored: at most 9 bytes, one word that reads back
// (blanks and control bytes become '_', an empty name "-"), cut before the first byte
// that is not part of a printable character in UTF-8 and never inside a character.
void entry_name(char out[ENTRY_NAME_SIZE], const char *name);
// The same form in `size` bytes: a whole player's name as one word of the match log.
void one_word(char *out, int size, const char *name);

// Reads `count` tables of 15 entries each from f. An entry that cannot be read is
// skipped with the rest of its line: each table holds the entries of its part of the
// file that read, in order, then empty places. Returns the number of entries read.
int read_tables(FILE *f, int count);

// Writes `count` tables to f, one entry a line, each name in its stored form.
void write_tables(FILE *f, int count);

// The match log line of a duel, ending in the local time of `when` in ctime's layout.
void format_log_line(char *out, size_t size, const char *winner, int32_t winner_score,
                     const char *loser, int32_t loser_score, long when);

// At the end of a game: lock, read the run's hiscore file, place the results (not in debug
// mode), rewrite the file in place, append a duel to the match log, unlock. A file that
// cannot be opened, or whose reading fails, is neither placed in nor rewritten. Every
// failure is reported on standard error and none ends the process.
void store_results();

// The end of a game's results: by the store process where there is one, else store_results.
void update_hiscores();
