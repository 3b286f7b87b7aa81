// update_hiscores end to end, in this process, on real files in the tests' games
// directory: the lock, the read, the placement, the rewrite and the match log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "results/hiscore_store.h"
#include "results/paths.h"
#include "rules/game.h"
#include "tests/support/results_files.h"

namespace {

const std::string SINGLE_NAME = ".dravik.hiscore.single";
const std::string DUEL_NAME = ".dravik.hiscore";
const std::string UNLOCK_NAME = ".dravik.unlock";
const std::string LOG_NAME = ".dravik.log";
const char LOCK_MESSAGE[] = "Sorry can't lock hiscore-file\n";
const useconds_t OTHER_GAME_HOLDS_USEC = 500000;   /* well before the tenth try */

std::vector<std::string> lines_of(const std::vector<Entry> &entries)
{
	std::vector<std::string> lines;
	for (const Entry &e : entries)
		lines.push_back(e.name + " " + std::to_string(e.score));
	return lines;
}

std::vector<Entry> concat(std::vector<Entry> a, const std::vector<Entry> &b)
{
	a.insert(a.end(), b.begin(), b.end());
	return a;
}

// entries with `e` placed at index i and the last one dropped.
std::vector<Entry> placed(std::vector<Entry> entries, int i, const Entry &e)
{
	entries.insert(entries.begin() + i, e);
	entries.pop_back();
	return entries;
}

class UpdateHiscores : public ::testing::Test {
protected:
	const std::vector<Entry> single_ = ladder("s", TABLE_ENTRIES, 1500, 100);
	const std::vector<Entry> winners_ = ladder("w", TABLE_ENTRIES, 1500, 100);
	const std::vector<Entry> losers_ = ladder("l", TABLE_ENTRIES, 750, 50);

	void SetUp() override
	{
		empty_dir(GAMES_DIR);
		write_file(UNLOCK_FILE, "");
		memset(hiscore_tables, 0, sizeof hiscore_tables);
		debug_mode = 0;
		single_play("zed", 0);
	}
	void TearDown() override { empty_dir(GAMES_DIR); }

	void single_play(const char *name, int32_t score)
	{
		last_player = 0;
		winner_index = 0;
		loser_index = 1;
		hiscore_path = SINGLE_HISCORE_FILE;
		set_player(0, name, score);
	}
	void duel(const char *winner, int32_t winner_score, const char *loser, int32_t loser_score)
	{
		last_player = 1;
		winner_index = 1;
		loser_index = 0;
		hiscore_path = DUEL_HISCORE_FILE;
		set_player(1, winner, winner_score);
		set_player(0, loser, loser_score);
	}
	static void set_player(int p, const char *name, int32_t score)
	{
		snprintf(players[p].name, NAME_SIZE, "%s", name);
		players[p].score = score;
	}

	// The tables in memory, as lines of the file.
	static std::vector<std::string> table_lines(int count)
	{
		std::vector<std::string> lines;
		for (int t = 0; t < count; t++)
			for (int i = 0; i < TABLE_ENTRIES; i++)
				lines.push_back(std::string(hiscore_tables[t].name[i]) + " " +
				                std::to_string(hiscore_tables[t].score[i]));
		return lines;
	}
	static void fill_tables(const char *name, int32_t score)
	{
		for (int t = 0; t < TABLE_COUNT; t++)
			for (int i = 0; i < TABLE_ENTRIES; i++) {
				snprintf(hiscore_tables[t].name[i], ENTRY_NAME_SIZE, "%s", name);
				hiscore_tables[t].score[i] = score;
			}
	}
	static std::string update_and_capture()
	{
		StderrCapture err;
		update_hiscores();
		return err.text();
	}
	// The directory holds exactly these names: no lock, no leftover of a rewrite.
	static void expect_dir(std::vector<std::string> names, const std::string &what)
	{
		std::sort(names.begin(), names.end());
		EXPECT_EQ(names, dir_names(GAMES_DIR)) << what;
	}
};

TEST_F(UpdateHiscores, SinglePlayRewritesFifteenLinesAndLogsNothing)
{
	write_file(SINGLE_HISCORE_FILE, hiscore_text(single_));
	chmod(SINGLE_HISCORE_FILE, 0664);
	ino_t old = inode_of(SINGLE_HISCORE_FILE);
	ino_t marker = inode_of(UNLOCK_FILE);
	single_play("zed", 1250);

	EXPECT_EQ("", update_and_capture());

	std::vector<std::string> want = lines_of(placed(single_, 3, { "zed", 1250 }));
	EXPECT_EQ(want, read_lines(SINGLE_HISCORE_FILE));
	EXPECT_EQ(want, table_lines(1));
	// Rewritten in place, keeping its permissions; the marker is the same file.
	EXPECT_EQ(old, inode_of(SINGLE_HISCORE_FILE));
	struct stat st;
	ASSERT_EQ(0, stat(SINGLE_HISCORE_FILE, &st));
	EXPECT_EQ(0664u, st.st_mode & 07777);
	EXPECT_EQ(marker, inode_of(UNLOCK_FILE));
	expect_dir({ SINGLE_NAME, UNLOCK_NAME }, "after a single game");
}

TEST_F(UpdateHiscores, DuelRewritesThirtyLinesAndAppendsOneLineWinnerFirst)
{
	write_file(DUEL_HISCORE_FILE, hiscore_text(concat(winners_, losers_)));
	write_file(MATCH_LOG_FILE, "earlier - 1 v game - 0 Sun Mar  3 10:00:00 2024\n");
	duel("anna", 812, "bert", 567);

	long before = time(nullptr);
	EXPECT_EQ("", update_and_capture());
	long after = time(nullptr);

	std::vector<std::string> want = lines_of(concat(placed(winners_, 7, { "anna", 812 }),
	                                                placed(losers_, 4, { "bert", 567 })));
	EXPECT_EQ(want, read_lines(DUEL_HISCORE_FILE));
	EXPECT_EQ(want, table_lines(2));

	std::vector<std::string> log = read_lines(MATCH_LOG_FILE);
	ASSERT_EQ(2u, log.size());
	EXPECT_EQ("earlier - 1 v game - 0 Sun Mar  3 10:00:00 2024", log[0]);
	// The time is whatever second the line was made in.
	bool matches = false;
	for (long t = before; t <= after; t++) {
		char line[256];
		format_log_line(line, sizeof line, "anna", 812, "bert", 567, t);
		matches = matches || log[1] + "\n" == line;
	}
	EXPECT_TRUE(matches) << log[1];
	expect_dir({ DUEL_NAME, LOG_NAME, UNLOCK_NAME }, "after a duel");
}

TEST_F(UpdateHiscores, DebugModeReadsWithoutRewritingAndStillLogsADuel)
{
	struct {
		const char *what;
		bool duel;
	} cases[] = { { "single play", false }, { "duel", true } };
	for (const auto &c : cases) {
		empty_dir(GAMES_DIR);
		write_file(UNLOCK_FILE, "");
		std::string text = c.duel ? hiscore_text(concat(winners_, losers_))
		                          : hiscore_text(single_);
		if (c.duel)
			duel("anna", 5000, "anna", 4000);
		else
			single_play("anna", 5000);
		write_file(hiscore_path, text);
		ino_t old = inode_of(hiscore_path);
		fill_tables("junk", 1);
		debug_mode = 1;

		EXPECT_EQ("", update_and_capture()) << c.what;

		EXPECT_EQ(text, read_file(hiscore_path)) << c.what;
		EXPECT_EQ(old, inode_of(hiscore_path)) << c.what;
		int count = c.duel ? 2 : 1;
		EXPECT_EQ(read_lines(hiscore_path), table_lines(count)) << c.what << ": tables as read";
		EXPECT_EQ(c.duel ? 1u : 0u, read_lines(MATCH_LOG_FILE).size()) << c.what;
		EXPECT_TRUE(exists(UNLOCK_FILE)) << c.what;
		EXPECT_FALSE(exists(LOCK_FILE)) << c.what;
	}
}

TEST_F(UpdateHiscores, LockReleasedByAnotherGameBeforeTheLastTryIsTaken)
{
	write_file(SINGLE_HISCORE_FILE, hiscore_text(single_));
	single_play("zed", 1250);
	int held[2];
	ASSERT_EQ(0, pipe(held));
	pid_t other = fork();
	ASSERT_GE(other, 0);
	if (other == 0) {
		// Another game: takes the lock, keeps it a while, gives it back.
		bool took = rename(UNLOCK_FILE, LOCK_FILE) == 0;
		char c = took;
		if (write(held[1], &c, 1) != 1)
			_exit(2);
		usleep(OTHER_GAME_HOLDS_USEC);
		_exit(took && rename(LOCK_FILE, UNLOCK_FILE) == 0 ? 0 : 1);
	}
	close(held[1]);
	char took = 0;
	ASSERT_EQ(1, read(held[0], &took, 1));
	close(held[0]);
	ASSERT_TRUE(took);

	std::string err = update_and_capture();

	int status = 0;
	waitpid(other, &status, 0);
	EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other game's lock";
	EXPECT_EQ("", err);
	EXPECT_EQ(lines_of(placed(single_, 3, { "zed", 1250 })), read_lines(SINGLE_HISCORE_FILE));
	expect_dir({ SINGLE_NAME, UNLOCK_NAME }, "after waiting for the lock");
}

TEST_F(UpdateHiscores, NoFreeMarkerGivesUpWithoutTouchingAnything)
{
	// A missing marker, and one that a game left under the lock name when it died.
	struct {
		const char *what;
		bool stale_lock;
	} cases[] = { { "no marker", false }, { "stale lock", true } };
	for (const auto &c : cases) {
		empty_dir(GAMES_DIR);
		if (c.stale_lock)
			write_file(LOCK_FILE, "");
		std::string text = hiscore_text(concat(winners_, losers_));
		write_file(DUEL_HISCORE_FILE, text);
		duel("anna", 5000, "bert", 4000);
		fill_tables("shown", 7);

		EXPECT_EQ(LOCK_MESSAGE, update_and_capture()) << c.what;

		EXPECT_EQ(text, read_file(DUEL_HISCORE_FILE)) << c.what;
		for (const std::string &line : table_lines(2))
			EXPECT_EQ("shown 7", line) << c.what << ": tables in memory";
		if (c.stale_lock)
			expect_dir({ DUEL_NAME, ".dravik.lock" }, c.what);
		else
			expect_dir({ DUEL_NAME }, c.what);
	}
}

TEST_F(UpdateHiscores, MissingHiscoreFileIsReportedAndTheLockReleased)
{
	duel("anna", 5000, "bert", 4000);
	fill_tables("shown", 7);

	EXPECT_EQ(std::string(DUEL_HISCORE_FILE) + ": No such file or directory\n",
	          update_and_capture());

	for (const std::string &line : table_lines(2))
		EXPECT_EQ("shown 7", line) << "tables in memory";
	expect_dir({ UNLOCK_NAME }, "nothing created, no log line, lock released");
}

TEST_F(UpdateHiscores, HiscoreFileThatFailsToReadIsNeitherPlacedNorRewritten)
{
	// A directory opens for reading, and then every read fails.
	ASSERT_EQ(0, mkdir(SINGLE_HISCORE_FILE, 0755));
	single_play("zed", 1250);
	fill_tables("shown", 7);

	EXPECT_EQ(std::string(SINGLE_HISCORE_FILE) + ": Is a directory\n", update_and_capture());

	for (const std::string &line : table_lines(1))
		EXPECT_EQ("shown 7", line) << "tables in memory";
	expect_dir({ SINGLE_NAME, UNLOCK_NAME }, "nothing written, lock released");
}

TEST_F(UpdateHiscores, UnwritableMatchLogIsReportedAndTheTablesStillStored)
{
	write_file(DUEL_HISCORE_FILE, hiscore_text(concat(winners_, losers_)));
	ASSERT_EQ(0, mkdir(MATCH_LOG_FILE, 0755));
	duel("anna", 812, "bert", 567);

	EXPECT_EQ(std::string(MATCH_LOG_FILE) + ": Is a directory\n", update_and_capture());

	EXPECT_EQ(lines_of(concat(placed(winners_, 7, { "anna", 812 }),
	                          placed(losers_, 4, { "bert", 567 }))),
	          read_lines(DUEL_HISCORE_FILE));
	expect_dir({ DUEL_NAME, LOG_NAME, UNLOCK_NAME }, "lock released");
}

TEST_F(UpdateHiscores, RewriteThatFailsMidwayLeavesTheOldFileWhole)
{
	// A full disk, as root can meet it: a file size limit at the old file's size, which
	// the new tables outgrow. The log line is shorter.
	std::string text = hiscore_text(concat(winners_, losers_));
	std::string after = hiscore_text(concat(placed(winners_, 7, { "anna", 812 }),
	                                        placed(losers_, 4, { "bert", 567 })));
	ASSERT_GT(after.size(), text.size());
	const rlim_t LIMIT = text.size();
	write_file(DUEL_HISCORE_FILE, text);
	duel("anna", 812, "bert", 567);
	std::string err_path = std::string(GAMES_DIR) + "stderr";

	pid_t game = fork();
	ASSERT_GE(game, 0);
	if (game == 0) {
		int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		struct rlimit r = { LIMIT, LIMIT };
		if (err < 0 || dup2(err, 2) < 0 || setrlimit(RLIMIT_FSIZE, &r) != 0)
			_exit(2);
		signal(SIGXFSZ, SIG_IGN);
		update_hiscores();
		// The tables in memory hold this game's results all the same.
		_exit(strcmp(hiscore_tables[0].name[7], "anna") == 0 &&
		      strcmp(hiscore_tables[1].name[4], "bert") == 0 ? 0 : 1);
	}
	int status = 0;
	waitpid(game, &status, 0);
	ASSERT_TRUE(WIFEXITED(status));
	EXPECT_EQ(0, WEXITSTATUS(status)) << "tables in memory";

	EXPECT_EQ(std::string(DUEL_HISCORE_FILE) + ": File too large\n", read_file(err_path));
	EXPECT_EQ(text, read_file(DUEL_HISCORE_FILE));
	EXPECT_EQ(1u, read_lines(MATCH_LOG_FILE).size()) << "the duel is still logged";
	unlink(err_path.c_str());
	expect_dir({ DUEL_NAME, LOG_NAME, UNLOCK_NAME }, "no leftover of the failed rewrite");
}

TEST_F(UpdateHiscores, LongAndBlankNamesAreStoredAsOneWordThatReadsBack)
{
	write_file(DUEL_HISCORE_FILE, hiscore_text(concat(winners_, losers_)));
	duel("averyverylongloginname", 812, "x y", 567);
	update_hiscores();
	duel("", 1600, "averyverylongloginname", 900);   /* one name in both tables */
	update_hiscores();

	std::vector<Entry> w = placed(placed(winners_, 7, { "averyvery", 812 }), 0, { "-", 1600 });
	std::vector<Entry> l = placed(placed(losers_, 4, { "x_y", 567 }), 0, { "averyvery", 900 });
	std::vector<std::string> want = lines_of(concat(w, l));
	EXPECT_EQ(want, read_lines(DUEL_HISCORE_FILE));
	// The match log keeps whole names, each as one word, so a duel stays one line.
	std::vector<std::string> log = read_lines(MATCH_LOG_FILE);
	ASSERT_EQ(2u, log.size());
	EXPECT_EQ(0u, log[0].find("averyverylongloginname - 812 v x_y - 567 ")) << log[0];

	// A later game by the long name finds its own entry by the stored form and moves it.
	duel("averyverylongloginname", 1450, "z", 1);
	update_hiscores();
	std::vector<Entry> w2 = w;
	w2.erase(w2.begin() + 8);   /* averyvery 812 */
	w2.insert(w2.begin() + 2, { "averyvery", 1450 });
	std::vector<std::string> lines = read_lines(DUEL_HISCORE_FILE);
	lines.resize(TABLE_ENTRIES);
	EXPECT_EQ(lines_of(w2), lines);

	FILE *f = fopen(DUEL_HISCORE_FILE, "r");
	ASSERT_TRUE(f);
	EXPECT_EQ(2 * TABLE_ENTRIES, read_tables(f, 2));
	fclose(f);
}

TEST_F(UpdateHiscores, DamagedFileIsRewrittenWithoutGarbage)
{
	std::vector<Entry> seven(single_.begin(), single_.begin() + 7);
	std::vector<Entry> before_garbage(single_.begin(), single_.begin() + 5);
	std::vector<Entry> after_garbage(single_.begin() + 6, single_.end());
	std::vector<Entry> long_name = single_;
	long_name[2].name = "abcdefghijklmnopqrst";
	struct {
		const char *what;
		std::string text;
		std::vector<Entry> kept;   /* the entries read, before zed's placement */
	} cases[] = {
		{ "seven entries", hiscore_text(seven), seven },
		{ "garbage in entry 5", hiscore_text(before_garbage) + "bob xyz\n" +
		  hiscore_text(after_garbage), concat(before_garbage, after_garbage) },
		{ "a 20-byte name", hiscore_text(long_name), long_name },
	};
	for (auto &c : cases) {
		empty_dir(GAMES_DIR);
		write_file(UNLOCK_FILE, "");
		write_file(SINGLE_HISCORE_FILE, c.text);
		single_play("zed", 1250);
		fill_tables("junk", 99999);

		EXPECT_EQ("", update_and_capture()) << c.what;

		std::vector<Entry> want = c.kept;
		if (want.size() > TABLE_ENTRIES - 1u)
			want.resize(TABLE_ENTRIES - 1);
		for (Entry &e : want)
			e.name = e.name.substr(0, ENTRY_NAME_SIZE - 1);
		want.insert(want.begin() + 3, { "zed", 1250 });
		while (want.size() < (size_t)TABLE_ENTRIES)
			want.push_back({ "-", 0 });
		EXPECT_EQ(lines_of(want), read_lines(SINGLE_HISCORE_FILE)) << c.what;
		EXPECT_EQ(lines_of(want), table_lines(1)) << c.what << ": shown as stored";
		expect_dir({ SINGLE_NAME, UNLOCK_NAME }, c.what);
	}
}

}  // namespace
