// The real program when what it stands on fails: its X server killed during a game, in
// single play and in a duel, and a games directory that is missing, read-only or holds
// files it may not use. It ends promptly in the first case and plays on in the others.
#include <gtest/gtest.h>

#include <X11/keysym.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/connection.h"
#include "display/geometry.h"
#include "results/hiscore_store.h"
#include "results/paths.h"
#include "rules/game.h"
#include "tests/support/control_screen.h"
#include "tests/support/hardening_games.h"
#include "tests/support/hardening_x.h"
#include "tests/support/results_files.h"
#include "tests/support/x_server.h"

namespace {

const long SEED = 20240304;        /* the program's clock, and so its pieces */
const int MAX_DROPS = 400;         /* far more than a field can take */
const int DROP_WAIT_MS = 100;      /* per round of hard drops: two ticks of the game */
const int WINDOW_MS = 20000;
const int END_MS = 30000;          /* generous: the program ends long before */
const char LOCK_MESSAGE[] = "Sorry can't lock hiscore-file\n";

// A result of any game enters these tables.
void install_games_dir()
{
	empty_dir(GAMES_DIR);
	write_file(SINGLE_HISCORE_FILE, hiscore_text(ladder("s", TABLE_ENTRIES, -1000, 1)));
	write_file(DUEL_HISCORE_FILE, hiscore_text(ladder("w", TABLE_ENTRIES, -1000, 1)) +
	                              hiscore_text(ladder("l", TABLE_ENTRIES, -1000, 1)));
	write_file(UNLOCK_FILE, "");
	write_file(MATCH_LOG_FILE, "");
}

void click_button(Display *d, Window w, int button_y)
{
	click(d, w, (HIT_LEFT + HIT_RIGHT) / 2, button_y + BUTTON_HEIGHT / 2);
}

std::vector<std::string> game_args(bool duel, const std::string &second_display,
                                   const std::string &first_name)
{
	if (duel)
		return { "-p1", first_name, "-m2", second_display, "-p2", "bob" };
	return { "-p1", first_name };
}

// X servers go away: the program must end by itself, soon, and store nothing.
TEST(ServerLost, ProgramEndsPromptlyAndLeavesTheGamesDirectoryAlone)
{
	tolerate_x_errors();
	const struct {
		const char *what;
		bool duel;
		int killed;   /* the player whose server is killed */
	} cases[] = {
		{ "single play", false, 0 },
		{ "duel, the first player's server", true, 0 },
		{ "duel, the second player's server", true, 1 },
	};
	for (const auto &c : cases) {
		install_games_dir();
		auto before = dir_snapshot(GAMES_DIR);
		std::unique_ptr<XServer> servers[PLAYER_COUNT];
		Display *displays[PLAYER_COUNT] = {};
		Window windows[PLAYER_COUNT] = {};
		int players = c.duel ? 2 : 1;
		for (int p = 0; p < players; p++) {
			servers[p].reset(new XServer);
			displays[p] = servers[p]->connect();
			ASSERT_NE(nullptr, displays[p]) << c.what << ": no X server";
		}
		pid_t victim = server_process(displays[c.killed]);
		ASSERT_GT(victim, 0) << c.what;

		Child game = spawn_seeded(program_under_test(),
		                          game_args(c.duel, c.duel ? servers[1]->name() : "", "anna"),
		                          servers[0]->name(), SEED);
		for (int p = 0; p < players; p++) {
			windows[p] = wait_for_window(displays[p], WINDOW_TITLE, WINDOW_MS);
			ASSERT_NE(0u, windows[p]) << c.what << ": no window for player " << p;
		}
		for (int i = 0; i < 3; i++)   /* a game under way: pieces have landed */
			for (int p = 0; p < players; p++)
				press_key(displays[p], windows[p], XK_space);

		XCloseDisplay(displays[c.killed]);   /* the test's own connection goes first */
		displays[c.killed] = nullptr;
		kill(victim, SIGKILL);
		int status = finish(game, END_MS);

		EXPECT_NE(-1, status) << c.what << ": still running";
		EXPECT_LT(status, 128) << c.what << ": ended by signal " << status - 128 << "\n" << game.err;
		EXPECT_EQ(std::string::npos, game.err.find("Sanitizer")) << c.what << "\n" << game.err;
		EXPECT_EQ(before, dir_snapshot(GAMES_DIR)) << c.what;
		for (Display *d : displays)
			if (d)
				XCloseDisplay(d);
	}
}

// Two servers for every case; the program runs as a user for whom permissions count.
class GamesDirFaults : public ::testing::Test {
protected:
	static std::unique_ptr<XServer> first_, second_;
	static Display *d1_, *d2_;

	static void SetUpTestSuite()
	{
		tolerate_x_errors();
		first_.reset(new XServer);
		second_.reset(new XServer);
		d1_ = first_->connect();
		d2_ = second_->connect();
	}
	static void TearDownTestSuite()
	{
		for (Display *d : { d1_, d2_ })
			if (d)
				XCloseDisplay(d);
		first_.reset();
		second_.reset();
	}
	void SetUp() override
	{
		ASSERT_TRUE(d1_ && d2_) << "no X servers";
	}
	void TearDown() override
	{
		chmod(GAMES_DIR, 0755);
		empty_dir(GAMES_DIR);
	}
};

std::unique_ptr<XServer> GamesDirFaults::first_, GamesDirFaults::second_;
Display *GamesDirFaults::d1_ = nullptr;
Display *GamesDirFaults::d2_ = nullptr;

TEST_F(GamesDirFaults, FailureIsReportedAndTheGameGoesOn)
{
	Unprivileged user;
	if (!user.ok())
		GTEST_SKIP() << "cannot run the program without privileges: " << user.why();
	const std::string single = SINGLE_HISCORE_FILE, log = MATCH_LOG_FILE;
	enum Outcome { DIR_STILL_MISSING, DIR_UNCHANGED, DUEL_STORED };
	const struct {
		const char *what;
		bool duel;
		bool needs_root;   /* a file of another user */
		std::function<void()> lay_out;
		std::string message;
		Outcome outcome;
	} cases[] = {
		{ "missing games directory", false, false,
		  [] { remove_tree(GAMES_DIR); },
		  LOCK_MESSAGE, DIR_STILL_MISSING },
		{ "read-only games directory", false, false,
		  [] { chmod(GAMES_DIR, 0555); },
		  LOCK_MESSAGE, DIR_UNCHANGED },
		{ "unreadable hiscore file", false, false,
		  [] { chmod(GAMES_DIR, 0777); chmod(SINGLE_HISCORE_FILE, 0); },
		  single + ": Permission denied\n", DIR_UNCHANGED },
		{ "sticky games directory, hiscore file of another user", false, true,
		  [&] {
			  chmod(GAMES_DIR, 01777);
			  if (chown(UNLOCK_FILE, user.uid(), user.gid()) != 0)
				  ADD_FAILURE() << "chown " << UNLOCK_FILE;
		  },
		  single + ": Permission denied\n", DIR_UNCHANGED },
		{ "match log not to be appended to, in a duel with an empty name", true, false,
		  [] {
			  chmod(GAMES_DIR, 0777);
			  chmod(DUEL_HISCORE_FILE, 0666);
			  chmod(MATCH_LOG_FILE, 0444);
		  },
		  log + ": Permission denied\n", DUEL_STORED },
	};
	for (const auto &c : cases) {
		if (c.needs_root && !user.as_root())
			continue;
		install_games_dir();
		c.lay_out();
		auto before = dir_snapshot(GAMES_DIR);
		std::vector<std::string> cmd =
			user.command(program_under_test(),
			             game_args(c.duel, second_->name(), c.duel ? "" : "zed"));
		Child game = spawn_seeded(cmd[0], std::vector<std::string>(cmd.begin() + 1, cmd.end()),
		                          first_->name(), SEED);
		Display *displays[] = { d1_, d2_ };
		Window windows[PLAYER_COUNT] = {};
		int players = c.duel ? 2 : 1;
		for (int p = 0; p < players; p++) {
			windows[p] = wait_for_window(displays[p], WINDOW_TITLE, WINDOW_MS);
			ASSERT_NE(0u, windows[p]) << c.what << ": no window for player " << p;
		}

		bool ended = false;
		for (int i = 0; i < MAX_DROPS && !ended; i++) {
			for (int p = 0; p < players; p++)
				press_key(displays[p], windows[p], XK_space);
			ended = wait_for([&] {
				drain_stderr(game);
				return game.err.find(c.message) != std::string::npos;
			}, DROP_WAIT_MS);
		}
		EXPECT_TRUE(ended) << c.what << ": no message; standard error: " << game.err;

		// The game goes on: the hiscore view's New button starts the next one.
		EXPECT_TRUE(wait_for([&] { return button_label_is(d1_, windows[0], GAME_BUTTON_Y, "New"); }))
			<< c.what;
		click_button(d1_, windows[0], GAME_BUTTON_Y);
		EXPECT_TRUE(wait_for([&] { return button_label_is(d1_, windows[0], GAME_BUTTON_Y, "Pause"); }))
			<< c.what;
		click_button(d1_, windows[0], QUIT_Y);
		EXPECT_EQ(0, finish(game, END_MS)) << c.what;
		EXPECT_EQ(c.message, game.err) << c.what;
		stop_and_wait_gone(game, { d1_, d2_ });

		switch (c.outcome) {
		case DIR_STILL_MISSING:
			EXPECT_FALSE(exists(GAMES_DIR)) << c.what;
			break;
		case DIR_UNCHANGED:
			EXPECT_EQ(before, dir_snapshot(GAMES_DIR)) << c.what;
			break;
		case DUEL_STORED: {
			ReadBack r = read_back(DUEL_HISCORE_FILE, 2);
			EXPECT_EQ(2 * TABLE_ENTRIES, r.read) << c.what;
			// Whoever won, the empty name stands as "-" in one table and bob in the other.
			bool first_won = occurrences(r, 0, "-") == 1 && occurrences(r, 1, "bob") == 1;
			bool second_won = occurrences(r, 0, "bob") == 1 && occurrences(r, 1, "-") == 1;
			EXPECT_TRUE(first_won || second_won) << c.what;
			EXPECT_EQ("", read_file(MATCH_LOG_FILE)) << c.what;
			break;
		}
		}
		EXPECT_FALSE(exists(LOCK_FILE)) << c.what << ": the lock is released";
		chmod(GAMES_DIR, 0755);
	}
}

}  // namespace
