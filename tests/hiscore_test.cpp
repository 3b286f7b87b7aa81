// The hiscore tables without the lock: the placement rule, the file format read and
// written, the stored form of names and the match log line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>

#include "results/hiscore_store.h"
#include "rules/game.h"
#include "tests/support/results_files.h"

namespace {

const int32_t BASE_SCORES[TABLE_ENTRIES] = {
	900, 800, 800, 500, 450, 400, 350, 300, 250, 200, 150, 100, 50, 20, 10,
};

std::string base_name(int i)
{
	return "e" + std::to_string(i);
}

void set_entry(HiscoreTable &t, int i, const std::string &name, int32_t score)
{
	snprintf(t.name[i], ENTRY_NAME_SIZE, "%s", name.c_str());
	t.score[i] = score;
}

HiscoreTable base_table()
{
	HiscoreTable t = {};
	for (int i = 0; i < TABLE_ENTRIES; i++)
		set_entry(t, i, base_name(i), BASE_SCORES[i]);
	return t;
}

// "0 1 zed:801 2 ...": a number is that entry of the base table, "name:score" an entry
// of its own.
HiscoreTable expected_table(const std::string &layout)
{
	HiscoreTable t = {};
	std::istringstream in(layout);
	std::string token;
	for (int i = 0; i < TABLE_ENTRIES && in >> token; i++) {
		size_t colon = token.find(':');
		if (colon == std::string::npos) {
			int b = std::stoi(token);
			set_entry(t, i, base_name(b), BASE_SCORES[b]);
		} else
			set_entry(t, i, token.substr(0, colon), std::stoi(token.substr(colon + 1)));
	}
	return t;
}

void expect_tables_equal(const HiscoreTable &want, const HiscoreTable &got,
                         const std::string &what)
{
	for (int i = 0; i < TABLE_ENTRIES; i++) {
		EXPECT_STREQ(want.name[i], got.name[i]) << what << ", entry " << i;
		EXPECT_EQ(want.score[i], got.score[i]) << what << ", entry " << i;
	}
}

const char UNCHANGED[] = "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14";

TEST(PlaceInTable, EveryCaseOfTheRule)
{
	// Base scores: 900 800 800 500 450 400 350 300 250 200 150 100 50 20 10, names e0..e14.
	struct {
		const char *what, *name;
		int32_t score;
		const char *layout;
	} cases[] = {
		{ "new name above the first strictly lower score, last entry dropped", "zed", 801,
		  "0 zed:801 1 2 3 4 5 6 7 8 9 10 11 12 13" },
		{ "new name with an equal score goes below the equal entries", "zed", 800,
		  "0 1 2 zed:800 3 4 5 6 7 8 9 10 11 12 13" },
		{ "new name above everything", "zed", 901,
		  "zed:901 0 1 2 3 4 5 6 7 8 9 10 11 12 13" },
		{ "own entry moves up over itself, nothing dropped", "e5", 700,
		  "0 1 2 e5:700 3 4 6 7 8 9 10 11 12 13 14" },
		{ "own entry at the last place moves to the top", "e14", 1000,
		  "e14:1000 0 1 2 3 4 5 6 7 8 9 10 11 12 13" },
		{ "own entry at the place index: only the score changes", "e3", 700,
		  "0 1 2 e3:700 4 5 6 7 8 9 10 11 12 13 14" },
		{ "own entry at the place index, at the top", "e0", 950,
		  "e0:950 1 2 3 4 5 6 7 8 9 10 11 12 13 14" },
		{ "own entry above the place index: no change", "e1", 600, UNCHANGED },
		{ "own entry with an equal score again: no change", "e2", 800, UNCHANGED },
		{ "no entry lower than the score: no change", "zed", 5, UNCHANGED },
		{ "a score equal to the last entry: no change", "zed", 10, UNCHANGED },
		{ "place 14 replaces only entry 14", "zed", 15,
		  "0 1 2 3 4 5 6 7 8 9 10 11 12 13 zed:15" },
		{ "own entry 14 at place 14: only the score changes", "e14", 15,
		  "0 1 2 3 4 5 6 7 8 9 10 11 12 13 e14:15" },
	};
	for (const auto &c : cases) {
		HiscoreTable t = base_table();
		place_in_table(t, c.name, c.score);
		expect_tables_equal(expected_table(c.layout), t, c.what);
	}
}

TEST(PlaceInTable, ZeroNeverEntersATableOfScoresAtLeastZero)
{
	HiscoreTable empty = {};
	HiscoreTable t = {};
	place_in_table(t, "zed", 0);
	expect_tables_equal(empty, t, "all zero");

	HiscoreTable base = base_table();
	set_entry(base, TABLE_ENTRIES - 1, "e14", 0);
	t = base;
	place_in_table(t, "zed", 0);
	expect_tables_equal(base, t, "last entry 0");
}

TEST(PlaceInTable, OwnEntryIsTheLastOfItsName)
{
	// A table edited by hand may hold a name twice: the lower entry is the own one.
	HiscoreTable t = base_table();
	set_entry(t, 2, "dup", 800);
	set_entry(t, 6, "dup", 350);
	place_in_table(t, "dup", 700);
	HiscoreTable want = expected_table("0 1 dup:800 dup:700 3 4 5 7 8 9 10 11 12 13 14");
	expect_tables_equal(want, t, "dup at 2 and 6 scores 700");
}

TEST(PlaceInTable, NegativeScoresPlaceByTheSameRule)
{
	HiscoreTable t = {};
	for (int i = 0; i < TABLE_ENTRIES; i++)
		set_entry(t, i, base_name(i), -10 * (i + 1));
	place_in_table(t, "zed", -25);   /* first score strictly below -25 is -30, entry 2 */
	EXPECT_STREQ("e1", t.name[1]);
	EXPECT_STREQ("zed", t.name[2]);
	EXPECT_EQ(-25, t.score[2]);
	EXPECT_STREQ("e2", t.name[3]);
	EXPECT_STREQ("e13", t.name[14]);
}

TEST(EntryName, EveryNameBecomesOneWordOfAtMostNineBytes)
{
	struct {
		const char *name, *stored;
	} cases[] = {
		{ "anna", "anna" },
		{ "", "-" },
		{ "a b", "a_b" },
		{ " lead", "_lead" },
		{ "tab\there", "tab_here" },
		{ "line\nfeed", "line_feed" },
		{ "ninebytes", "ninebytes" },
		{ "averyverylongloginname", "averyvery" },
		{ "eight ch", "eight_ch" },
	};
	for (const auto &c : cases) {
		char out[ENTRY_NAME_SIZE];
		memset(out, 'x', sizeof out);
		entry_name(out, c.name);
		EXPECT_STREQ(c.stored, out) << "name \"" << c.name << "\"";
	}
}

// A temporary file holding text, read from its start.
FILE *file_with(const std::string &text)
{
	FILE *f = tmpfile();
	fputs(text.c_str(), f);
	rewind(f);
	return f;
}

std::string written_text(int count)
{
	FILE *f = tmpfile();
	write_tables(f, count);
	std::string text;
	rewind(f);
	for (int c; (c = getc(f)) != EOF;)
		text += (char)c;
	fclose(f);
	return text;
}

void fill_tables_with_junk()
{
	for (int t = 0; t < TABLE_COUNT; t++)
		for (int i = 0; i < TABLE_ENTRIES; i++)
			set_entry(hiscore_tables[t], i, "junk", 4242);
}

TEST(HiscoreFile, FifteenAndThirtyLinesReadBackAsWritten)
{
	for (int count = 1; count <= TABLE_COUNT; count++) {
		for (int t = 0; t < count; t++)
			for (int i = 0; i < TABLE_ENTRIES; i++)
				set_entry(hiscore_tables[t], i, "p" + std::to_string(t) + "_" + std::to_string(i),
				          i % 3 == 2 ? -100 * i : 1000 * (t + 1) - 7 * i);
		HiscoreTable written[TABLE_COUNT];
		memcpy(written, hiscore_tables, sizeof written);
		std::string text = written_text(count);

		std::string expected;
		for (int t = 0; t < count; t++)
			for (int i = 0; i < TABLE_ENTRIES; i++)
				expected += std::string(written[t].name[i]) + " " +
				            std::to_string(written[t].score[i]) + "\n";
		EXPECT_EQ(expected, text) << count << " tables";

		fill_tables_with_junk();
		FILE *f = file_with(text);
		EXPECT_EQ(count * TABLE_ENTRIES, read_tables(f, count)) << count << " tables";
		fclose(f);
		for (int t = 0; t < count; t++)
			expect_tables_equal(written[t], hiscore_tables[t],
			                    std::to_string(count) + " tables, table " + std::to_string(t));
	}
}

TEST(HiscoreFile, SingleTableLeavesTheSecondAlone)
{
	fill_tables_with_junk();
	FILE *f = file_with(hiscore_text(ladder("s", TABLE_ENTRIES, 1500, 100)));
	EXPECT_EQ(TABLE_ENTRIES, read_tables(f, 1));
	fclose(f);
	EXPECT_STREQ("junk", hiscore_tables[1].name[0]);
	EXPECT_EQ(1500, hiscore_tables[0].score[0]);
}

TEST(HiscoreFile, ScoresReadAsPercentIReadsThem)
{
	struct {
		const char *text;
		int32_t score;
	} cases[] = {
		{ "812", 812 },     { "-567", -567 },  { "+5", 5 },      { "0x1F", 31 },
		{ "0X1f", 31 },     { "-0x10", -16 },  { "017", 15 },    { "010", 8 },
		{ "0", 0 },         { "-0", 0 },       { "2147483647", INT32_MAX },
		{ "-2147483648", INT32_MIN },
	};
	for (const auto &c : cases) {
		std::string text;
		for (int i = 0; i < TABLE_ENTRIES; i++)
			text += std::string("n ") + c.text + "\n";
		FILE *f = file_with(text);
		EXPECT_EQ(TABLE_ENTRIES, read_tables(f, 1)) << c.text;
		fclose(f);
		EXPECT_EQ(c.score, hiscore_tables[0].score[0]) << c.text;
		EXPECT_EQ(c.score, hiscore_tables[0].score[TABLE_ENTRIES - 1]) << c.text;
	}
}

TEST(HiscoreFile, AnyWhiteSpaceSeparatesFieldsAndEntries)
{
	std::string text = "a 1 b\t2\n\n  c\n3\r\n";
	for (int i = 3; i < TABLE_ENTRIES; i++)
		text += "x 0 ";
	FILE *f = file_with(text);
	EXPECT_EQ(TABLE_ENTRIES, read_tables(f, 1));
	fclose(f);
	EXPECT_STREQ("b", hiscore_tables[0].name[1]);
	EXPECT_EQ(2, hiscore_tables[0].score[1]);
	EXPECT_STREQ("c", hiscore_tables[0].name[2]);
	EXPECT_EQ(3, hiscore_tables[0].score[2]);
}

TEST(HiscoreFile, LongNameIsCutToNineBytesAndKeepsTheEntriesInStep)
{
	std::vector<Entry> entries = ladder("n", TABLE_ENTRIES, 1500, 100);
	entries[3].name = "abcdefghijklmnopqrst";   /* 20 bytes */
	entries[4].name = std::string(200, 'w');    /* longer than any buffer of a word */
	FILE *f = file_with(hiscore_text(entries));
	EXPECT_EQ(TABLE_ENTRIES, read_tables(f, 1));
	fclose(f);
	EXPECT_STREQ("abcdefghi", hiscore_tables[0].name[3]);
	EXPECT_EQ(entries[3].score, hiscore_tables[0].score[3]);
	EXPECT_STREQ(std::string(ENTRY_NAME_SIZE - 1, 'w').c_str(), hiscore_tables[0].name[4]);
	EXPECT_EQ(entries[4].score, hiscore_tables[0].score[4]);
	EXPECT_STREQ("n5", hiscore_tables[0].name[5]);
	EXPECT_EQ(entries[5].score, hiscore_tables[0].score[5]);
}

// An entry that cannot be read costs only its own line: the entries after it move up
// within their table, and the table ends in empty places, written back as "- 0".
TEST(HiscoreFile, DamagedEntryCostsOnlyItsOwnLine)
{
	using Entries = std::vector<Entry>;
	const Entries good = ladder("n", TABLE_ENTRIES, 1500, 100);
	const Entries losers = ladder("l", TABLE_ENTRIES, 750, 50);
	const Entries first_five(good.begin(), good.begin() + 5);
	const Entries rest(good.begin() + 6, good.end());
	auto text = [](const Entries &e) { return hiscore_text(e); };
	auto plus = [](Entries a, const Entries &b) {
		a.insert(a.end(), b.begin(), b.end());
		return a;
	};
	const Entries without_5 = plus(first_five, rest);
	const struct {
		const char *what;
		std::string text;
		int count;                     /* tables asked for */
		Entries table[TABLE_COUNT];    /* what each table holds before its empty places */
	} cases[] = {
		{ "seven entries", text(Entries(good.begin(), good.begin() + 7)), 1,
		  { Entries(good.begin(), good.begin() + 7) } },
		{ "a word for a score in entry 5", text(first_five) + "bob xyz\n" + text(rest), 1,
		  { without_5 } },
		{ "digits then letters in entry 5", text(first_five) + "bob 12abc\n" + text(rest), 1,
		  { without_5 } },
		{ "a score out of 32 bits in entry 5", text(first_five) + "bob 4294967296\n" + text(rest),
		  1, { without_5 } },
		{ "a bad score with more on its line", text(first_five) + "bob 1x 2 3\n" + text(rest), 1,
		  { without_5 } },
		{ "a name without a score at the end", text(first_five) + "bob", 1, { first_five } },
		{ "an empty file", "", 1, { {} } },
		{ "one table where two are read", text(good), 2, { good, {} } },
		{ "a damaged winner keeps the losers in their table",
		  text(first_five) + "bob -\n" + text(rest) + text(losers), 2, { without_5, losers } },
	};
	for (const auto &c : cases) {
		fill_tables_with_junk();
		FILE *f = file_with(c.text);
		int read = read_tables(f, c.count);
		fclose(f);
		int want_read = 0;
		std::string want_written;
		for (int t = 0; t < c.count; t++) {
			const Entries &want = c.table[t];
			want_read += want.size();
			for (int i = 0; i < TABLE_ENTRIES; i++) {
				std::string where = std::string(c.what) + ", table " + std::to_string(t) +
				                    ", entry " + std::to_string(i);
				Entry e = i < (int)want.size() ? want[i] : Entry{ "", 0 };
				EXPECT_EQ(e.name, hiscore_tables[t].name[i]) << where;
				EXPECT_EQ(e.score, hiscore_tables[t].score[i]) << where;
				want_written += e.name.empty() ? "- 0\n" : e.name + " " + std::to_string(e.score) + "\n";
			}
		}
		EXPECT_EQ(want_read, read) << c.what;
		EXPECT_EQ(want_written, written_text(c.count)) << c.what;
	}
}

// Local time in UTC, so that the expected text does not depend on the machine.
class MatchLogLine : public ::testing::Test {
protected:
	void SetUp() override
	{
		const char *tz = getenv("TZ");
		had_tz_ = tz != nullptr;
		if (tz)
			saved_tz_ = tz;
		setenv("TZ", "UTC", 1);
		tzset();
	}
	void TearDown() override
	{
		if (had_tz_)
			setenv("TZ", saved_tz_.c_str(), 1);
		else
			unsetenv("TZ");
		tzset();
	}
	static long utc(int year, int month, int day, int hour, int minute, int second)
	{
		struct tm tm = {};
		tm.tm_year = year - 1900;
		tm.tm_mon = month - 1;
		tm.tm_mday = day;
		tm.tm_hour = hour;
		tm.tm_min = minute;
		tm.tm_sec = second;
		return mktime(&tm);   /* TZ is UTC */
	}

private:
	bool had_tz_ = false;
	std::string saved_tz_;
};

TEST_F(MatchLogLine, WinnerFirstThenCtimeWithoutItsNewline)
{
	struct {
		const char *winner;
		int32_t winner_score;
		const char *loser;
		int32_t loser_score;
		long when;
		const char *line;
	} cases[] = {
		{ "anna", 812, "bert", 567, utc(2024, 3, 4, 21, 7, 9),
		  "anna - 812 v bert - 567 Mon Mar  4 21:07:09 2024\n" },
		{ "bert", 0, "anna", -35, utc(2024, 12, 14, 0, 0, 0),
		  "bert - 0 v anna - -35 Sat Dec 14 00:00:00 2024\n" },
		{ "ninebytes", 2147483647, "x", -2147483648, utc(2001, 1, 1, 9, 5, 3),
		  "ninebytes - 2147483647 v x - -2147483648 Mon Jan  1 09:05:03 2001\n" },
	};
	for (const auto &c : cases) {
		char line[256];
		format_log_line(line, sizeof line, c.winner, c.winner_score, c.loser, c.loser_score,
		                c.when);
		EXPECT_STREQ(c.line, line);
	}
}

}  // namespace
