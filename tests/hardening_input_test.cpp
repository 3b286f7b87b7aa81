// Bad input: names of every kind of byte on the command line and in the store, hiscore
// files that hold nothing, garbage or numbers beyond any integer, and a full match log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "control/startup.h"
#include "results/hiscore_store.h"
#include "results/paths.h"
#include "rules/game.h"
#include "tests/support/hardening_games.h"
#include "tests/support/results_files.h"

namespace {

// Printable, so that a failing case can be told apart: every byte outside ' '..'~' in hex.
std::string shown(const std::string &s)
{
	std::string out;
	for (unsigned char c : s) {
		char hex[8];
		snprintf(hex, sizeof hex, "\\x%02x", c);
		out += c >= ' ' && c <= '~' ? std::string(1, (char)c) : hex;
	}
	return "\"" + out + "\"";
}

TEST(CommandLineNames, EightBytesAreTakenAndNineRefusedWhateverTheBytes)
{
	const std::string eight(MAX_NAME_LENGTH, 'n'), nine(MAX_NAME_LENGTH + 1, 'n');
	const struct {
		std::string name;
		OptionVerdict verdict;
	} cases[] = {
		{ eight, OPTIONS_OK },
		{ nine, OPTIONS_LONG_NAME },
		{ "", OPTIONS_OK },
		{ "a b c d ", OPTIONS_OK },               /* blanks count as bytes */
		{ "\ta\tb\tc\tde", OPTIONS_LONG_NAME },   /* nine bytes with the tabs */
		{ "line\nfee", OPTIONS_OK },
		{ "\x01\x02\x1b[0m\x7f", OPTIONS_OK },
		{ "h\xc3\xa9l\xc3\xa8ne", OPTIONS_OK },   /* six characters in eight bytes */
		{ "h\xc3\xa9l\xc3\xa8nes", OPTIONS_LONG_NAME },   /* seven characters, nine bytes */
		{ "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", OPTIONS_LONG_NAME },   /* three, nine bytes */
	};
	for (const auto &c : cases)
		for (int p = 0; p < PLAYER_COUNT; p++) {
			std::vector<std::string> words = { "dravik", "-m2", "x", p == 0 ? "-p1" : "-p2",
			                                   c.name };
			std::vector<char *> argv;
			for (std::string &w : words)
				argv.push_back(&w[0]);
			argv.push_back(nullptr);
			Settings s = { { nullptr, nullptr }, { nullptr, nullptr }, { 1, 1 } };
			std::string what = "player " + std::to_string(p + 1) + " named " + shown(c.name);

			EXPECT_EQ(c.verdict, read_options((int)words.size(), argv.data(), s)) << what;
			if (c.verdict == OPTIONS_OK) {
				ASSERT_NE(nullptr, s.name[p]) << what;
				EXPECT_EQ(c.name, s.name[p]) << what << ": taken as it is";
			}
		}
}

class StoreInput : public ::testing::Test {
protected:
	const std::vector<Entry> single_ = ladder("s", TABLE_ENTRIES, 1500, 100);
	const std::vector<Entry> duel_ = [] {
		std::vector<Entry> e = ladder("w", TABLE_ENTRIES, 1500, 100);
		std::vector<Entry> l = ladder("l", TABLE_ENTRIES, 750, 50);
		e.insert(e.end(), l.begin(), l.end());
		return e;
	}();

	void SetUp() override { fresh_dir(); }
	void TearDown() override { empty_dir(GAMES_DIR); }
	static void fresh_dir()
	{
		empty_dir(GAMES_DIR);
		write_file(UNLOCK_FILE, "");
	}
	static std::string update_and_capture()
	{
		StderrCapture err;
		update_hiscores();
		return err.text();
	}
};

// A name may hold any byte but zero. It is stored as one word of at most 9 bytes that
// reads back: white space and control bytes become '_', an empty name "-", printable
// characters in UTF-8 stay, the name ends before any other byte, and a longer name is cut
// after its ninth byte, never inside a character.
TEST_F(StoreInput, NamesOfAnyBytesAreStoredAsOneWordThatReadsBack)
{
	const struct {
		const char *winner, *loser;             /* as the players were named */
		const char *stored_winner, *stored_loser;
	} cases[] = {
		{ "eightchr", "ninebytes", "eightchr", "ninebytes" },
		{ "tenbytes!!", "averyverylongloginname", "tenbytes!", "averyvery" },
		{ "a b", "tab\there", "a_b", "tab_here" },
		{ "line\nfeed", "cr\rvt\vff\f", "line_feed", "cr_vt_ff_" },
		{ "\x01\x02" "bell\x07", "esc\x1b[0m", "__bell_", "esc_[0m" },
		{ "h\xc3\xa9l\xc3\xa8ne", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae",
		  "h\xc3\xa9l\xc3\xa8ne", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e" },
		{ "", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", "-", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9" },
		// Cut at the first byte that is no printable character in UTF-8: C1 controls,
		// raw or encoded (CSI), bidirectional overrides, bytes of no or overlong sequences.
		{ "csi\xc2\x9b" "2J", "raw\x9b" "31m", "csi", "raw" },
		{ "rtl\xe2\x80\xae" "x", "\xc0\xaf" "slash", "rtl", "-" },
		{ "cut\xe2\x82", "\xf0\x9f\x8e\xb2" "die", "cut", "\xf0\x9f\x8e\xb2" "die" },
	};
	for (const auto &c : cases) {
		std::string what = shown(c.winner) + " beats " + shown(c.loser);
		fresh_dir();
		write_file(DUEL_HISCORE_FILE, hiscore_text(duel_));
		finish_duel(c.winner, 5000, c.loser, 4000);   /* both above every entry */

		EXPECT_EQ("", update_and_capture()) << what;

		EXPECT_EQ((size_t)(2 * TABLE_ENTRIES), read_lines(DUEL_HISCORE_FILE).size()) << what;
		ReadBack r = read_back(DUEL_HISCORE_FILE, 2);
		ASSERT_EQ(2 * TABLE_ENTRIES, r.read) << what << ": reads back whole";
		EXPECT_EQ(c.stored_winner, r.entries[0].name) << what;
		EXPECT_EQ(5000, r.entries[0].score) << what;
		EXPECT_EQ(c.stored_loser, r.entries[TABLE_ENTRIES].name) << what;
		EXPECT_EQ(4000, r.entries[TABLE_ENTRIES].score) << what;
		EXPECT_EQ(duel_[0].name, r.entries[1].name) << what << ": the rest moved down";
	}
}

// What no whole entry can be read from is rewritten as a whole table all the same: the
// entries read, this game's result at its place, and "- 0" for the rest.
TEST_F(StoreInput, DamagedFilesAreRewrittenAsWholeTables)
{
	const unsigned SEED = 4242;
	std::mt19937 random(SEED);
	std::string binary;
	for (int i = 0; i < 512; i++)
		binary += (char)(random() & 0xff);
	const std::vector<Entry> two(single_.begin(), single_.begin() + 2);
	const struct {
		const char *what;
		std::string text;
		int kept;   /* entries of single_ read, from the first; -1: whatever reads */
	} cases[] = {
		{ "an empty file", "", 0 },
		{ "only white space", " \n\t\r\n\v\f", 0 },
		{ "a score beyond 64 bits", "a 99999999999999999999\n" + hiscore_text(single_),
		  TABLE_ENTRIES - 1 },
		{ "a negative score beyond 64 bits", hiscore_text(two) + "b -99999999999999999999\n", 2 },
		{ "a hexadecimal score beyond 32 bits", hiscore_text(two) + "c 0x1ffffffff\n", 2 },
		{ "an octal digit out of range", hiscore_text(two) + "d 019\n", 2 },
		{ "a zero byte in a score", hiscore_text(two) + std::string("e 1\0002\n", 6), -1 },
		{ "binary garbage", binary, -1 },
		{ "binary garbage after two entries", hiscore_text(two) + binary, -1 },
	};
	for (const auto &c : cases) {
		fresh_dir();
		write_file(SINGLE_HISCORE_FILE, c.text);
		finish_single("zed", 1250);

		EXPECT_EQ("", update_and_capture()) << c.what;

		std::vector<std::string> lines = read_lines(SINGLE_HISCORE_FILE);
		EXPECT_EQ((size_t)TABLE_ENTRIES, lines.size()) << c.what;
		ReadBack r = read_back(SINGLE_HISCORE_FILE, 1);
		ASSERT_EQ(TABLE_ENTRIES, r.read) << c.what << ": reads back whole";
		EXPECT_EQ(1, occurrences(r, 0, "zed")) << c.what;
		for (int i = 0; i < TABLE_ENTRIES; i++) {
			char stored[ENTRY_NAME_SIZE];
			entry_name(stored, r.entries[i].name.c_str());
			EXPECT_EQ(stored, r.entries[i].name) << c.what << ", entry " << i << ": one word";
		}
		if (c.kept < 0)
			continue;
		std::vector<Entry> want(single_.begin(), single_.begin() + c.kept);
		auto below = std::find_if(want.begin(), want.end(),
		                          [](const Entry &e) { return e.score < 1250; });
		want.insert(below, { "zed", 1250 });
		want.resize(std::min<size_t>(want.size(), TABLE_ENTRIES));
		while (want.size() < (size_t)TABLE_ENTRIES)
			want.push_back({ "-", 0 });
		EXPECT_EQ(hiscore_text(want), read_file(SINGLE_HISCORE_FILE)) << c.what;
	}
}

// A match log on a full disk, as root can meet one: a file size limit at its size. The
// duel's tables are stored, the log keeps what it had, and the failure is reported.
TEST_F(StoreInput, MatchLogThatCannotGrowIsReportedAndTheTablesStillStored)
{
	std::string earlier;
	while (earlier.size() < 2048)   /* larger than the rewritten hiscore file */
		earlier += "earlier - 1 v game - 0 Sun Mar  3 10:00:00 2024\n";
	write_file(MATCH_LOG_FILE, earlier);
	write_file(DUEL_HISCORE_FILE, hiscore_text(duel_));
	std::string err_path = std::string("/tmp/dravik-full-log-") + std::to_string(getpid());

	pid_t game = fork_game(err_path, [&] {
		struct rlimit r = { earlier.size(), earlier.size() };
		signal(SIGXFSZ, SIG_IGN);
		if (setrlimit(RLIMIT_FSIZE, &r) != 0)
			_exit(2);
		finish_duel("anna", 5000, "bert", 4000);
		update_hiscores();
	});
	ASSERT_EQ(0, wait_status(game, 30000));

	EXPECT_EQ(std::string(MATCH_LOG_FILE) + ": File too large\n", read_file(err_path));
	unlink(err_path.c_str());
	EXPECT_EQ(earlier, read_file(MATCH_LOG_FILE).substr(0, earlier.size()));
	ReadBack r = read_back(DUEL_HISCORE_FILE, 2);
	ASSERT_EQ(2 * TABLE_ENTRIES, r.read);
	EXPECT_EQ("anna", r.entries[0].name);
	EXPECT_EQ("bert", r.entries[TABLE_ENTRIES].name);
	EXPECT_TRUE(exists(UNLOCK_FILE));
	EXPECT_FALSE(exists(LOCK_FILE));
}

}  // namespace
