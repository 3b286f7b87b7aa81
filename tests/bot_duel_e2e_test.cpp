// Two level-5 bots play a duel of the real game to its end, each on its own Xvfb: the
// duel's line appears in the match log, each bot reports its one game and stops, and
// the bot asked to quit clicks Quit, which ends the game. Two level-5 bots from empty
// fields play on for minutes (hundreds of rows each, well past the top speed), so the
// second player starts with a tower of hard-dropped pieces in the middle of his field:
// the first bot's clears then crush him soon, while both bots play throughout.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include <X11/keysym.h>

#include "bot/screen.h"
#include "results/hiscore_store.h"
#include "results/paths.h"
#include "rules/game.h"
#include "tests/support/results_files.h"
#include "tests/support/x_server.h"

namespace {

const long SEED = 4242;              /* the game's pieces; the bots choose without chance */
const char BOT_LEVEL[] = "5";
const int DUEL_END_MS = 600000;      /* a duel of two good players may take minutes */
const int BOT_EXIT_MS = 10000;
const int TOWER_DROPS = 5;           /* pieces hard-dropped at the spawn before the bots start */
const int TOWER_MS = 20000;
const char *const NAMES[PLAYER_COUNT] = { "botone", "bottwo" };

int lines(const std::string &text)
{
	return (int)std::count(text.begin(), text.end(), '\n');
}

// Exactly "game 1: R rows" and a newline, R a number.
bool reports_one_game(const std::string &out)
{
	const std::string head = "game 1: ", tail = " rows\n";
	if (out.size() <= head.size() + tail.size() || out.compare(0, head.size(), head) != 0 ||
	    out.compare(out.size() - tail.size(), tail.size(), tail) != 0)
		return false;
	std::string rows = out.substr(head.size(), out.size() - head.size() - tail.size());
	return rows.find_first_not_of("0123456789") == std::string::npos;
}

// The games directory as the end of a duel needs it: a free lock and a whole table;
// the table is put back afterwards.
class DuelTableOnDisk {
public:
	DuelTableOnDisk()
	{
		mkdir(GAMES_DIR, 0755);
		old_table_ = read_file(DUEL_HISCORE_FILE);
		std::string table;
		for (int i = 0; i < TABLE_COUNT * TABLE_ENTRIES; i++)
			table += "none 0\n";
		if (lines(old_table_) != TABLE_COUNT * TABLE_ENTRIES)
			write_file(DUEL_HISCORE_FILE, table);
		unlink(LOCK_FILE);
		write_file(UNLOCK_FILE, "");
	}
	~DuelTableOnDisk()
	{
		if (!old_table_.empty())
			write_file(DUEL_HISCORE_FILE, old_table_);
	}

private:
	std::string old_table_;
};

// A bot run through the shell, so that its standard output lands in a file.
struct BotRun {
	Child child;
	std::string out_path;

	void start(const std::string &display, bool quit)
	{
		char path[] = "/tmp/dravik-bot-out-XXXXXX";
		int fd = mkstemp(path);
		close(fd);
		out_path = path;
		std::string command = std::string("exec '") + DRAVIK_BOT + "' -d " + display + " -l " +
		                      BOT_LEVEL + " -g 1" + (quit ? " -q" : "") + " > " + out_path;
		child = spawn("/bin/sh", { "-c", command }, display);
	}
	std::string output() const { return read_file(out_path); }
	~BotRun()
	{
		stop(child);
		if (!out_path.empty())
			unlink(out_path.c_str());
	}
};

TEST(BotDuel, TwoBestBotsPlayADuelToItsEndAndStop)
{
	XServer servers[PLAYER_COUNT];
	for (auto &s : servers)
		ASSERT_FALSE(s.name().empty()) << "Xvfb did not start";
	DuelTableOnDisk table;
	std::string log_before = read_file(MATCH_LOG_FILE);

	Child game = spawn_seeded(program_under_test(),
	                          { "-m1", servers[0].name(), "-m2",
	                            servers[1].name(), "-p1", NAMES[0], "-p2", NAMES[1] },
	                          servers[0].name(), SEED);
	Display *d = servers[1].connect();
	ASSERT_NE(nullptr, d);
	Window w = wait_for_window(d, GAME_TITLE);
	ASSERT_NE(0u, w) << "no window of the second player";
	Reader reader;
	ASSERT_TRUE(open_reader(reader, d, w));
	for (int i = 0; i < TOWER_DROPS; i++)
		press_key(d, w, XK_space);
	View view;
	bool tower = wait_for([&] {
		if (!read_screen(reader, &view))
			return false;
		Grid g = settled_grid(view, nullptr);
		int blocks = 0;
		for (int r = 0; r < g.rows; r++)
			blocks += __builtin_popcount(g.line[r]);
		return blocks >= TOWER_DROPS * PIECE_BLOCKS;
	}, TOWER_MS);
	XCloseDisplay(d);
	ASSERT_TRUE(tower) << "the second player's tower did not show";

	BotRun bots[PLAYER_COUNT];
	for (int p = 0; p < PLAYER_COUNT; p++)
		bots[p].start(servers[p].name(), p == 0);

	bool logged = wait_for([&] { return lines(read_file(MATCH_LOG_FILE)) > lines(log_before); },
	                       DUEL_END_MS);
	ASSERT_TRUE(logged) << "the duel did not end; bots said:\n" << bots[0].output() << "\n"
	                    << bots[1].output();
	std::string log = read_file(MATCH_LOG_FILE);
	EXPECT_EQ(lines(log_before) + 1, lines(log)) << "one duel, one log line";
	std::string line = log.substr(log_before.size());
	EXPECT_TRUE(line.find(NAMES[0]) != std::string::npos && line.find(NAMES[1]) != std::string::npos)
	    << line;

	for (int p = 0; p < PLAYER_COUNT; p++) {
		EXPECT_EQ(0, finish(bots[p].child, BOT_EXIT_MS))
		    << "bot " << p << " after its one game: " << bots[p].child.err;
		EXPECT_TRUE(reports_one_game(bots[p].output()))
		    << "bot " << p << " reported \"" << bots[p].output() << "\"";
	}
	EXPECT_EQ(0, finish(game, BOT_EXIT_MS)) << "the bot with -q clicks Quit: " << game.err;
}

}  // namespace
