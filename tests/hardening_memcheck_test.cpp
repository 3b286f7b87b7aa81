// Whole games under valgrind's memcheck: a single game and a duel, each played to its
// end by hard drops, its result stored, then quit. Any invalid read or write, use of
// uninitialised memory or bad free makes valgrind end with ERROR_STATUS; nothing is
// suppressed. Leaks are not counted: Xlib keeps memory to the end of the process.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <functional>
#include <string>
#include <vector>

#include "display/connection.h"
#include "display/geometry.h"
#include "results/hiscore_store.h"
#include "results/paths.h"
#include "rules/game.h"
#include "tests/support/control_screen.h"
#include "tests/support/results_files.h"
#include "tests/support/x_server.h"

namespace {

const long SEED = 20240304;
const int ERROR_STATUS = 99;
const int MAX_DROPS = 400;
const int DROP_WAIT_MS = 200;     /* the program runs many times slower under memcheck */
const int WINDOW_MS = 60000;
const int END_MS = 60000;

void click_button(Display *d, Window w, int button_y)
{
	click(d, w, (HIT_LEFT + HIT_RIGHT) / 2, button_y + BUTTON_HEIGHT / 2);
}

class Memcheck : public ::testing::Test {
protected:
	void SetUp() override
	{
		tolerate_x_errors();
		empty_dir(GAMES_DIR);
		write_file(SINGLE_HISCORE_FILE, hiscore_text(ladder("s", TABLE_ENTRIES, -1000, 1)));
		write_file(DUEL_HISCORE_FILE, hiscore_text(ladder("w", TABLE_ENTRIES, -1000, 1)) +
		                              hiscore_text(ladder("l", TABLE_ENTRIES, -1000, 1)));
		write_file(UNLOCK_FILE, "");
	}
	void TearDown() override { empty_dir(GAMES_DIR); }

	// Plays the program under memcheck, one player per server, with hard drops until
	// `over`, then quits; valgrind's exit status, and its report in *report.
	int play(const std::vector<XServer *> &servers, const std::vector<std::string> &args,
	         const std::function<bool()> &over, std::string *report)
	{
		std::vector<std::string> cmd = { "--tool=memcheck", "-q",
		                                 "--error-exitcode=" + std::to_string(ERROR_STATUS),
		                                 "--errors-for-leak-kinds=none", program_under_test() };
		cmd.insert(cmd.end(), args.begin(), args.end());
		Child game = spawn_seeded(VALGRIND, cmd, servers[0]->name(), SEED);
		std::vector<Display *> displays;
		std::vector<Window> windows;
		bool shown = true;
		for (XServer *s : servers) {
			Display *d = s->connect();
			Window w = d ? wait_for_window(d, WINDOW_TITLE, WINDOW_MS) : 0;
			EXPECT_NE(0u, w) << "no window on " << s->name();
			shown = shown && w;
			displays.push_back(d);
			windows.push_back(w);
		}
		if (shown) {
			bool ended = false;
			for (int i = 0; i < MAX_DROPS && !ended; i++) {
				for (size_t p = 0; p < windows.size(); p++)
					press_key(displays[p], windows[p], XK_space);
				ended = wait_for(over, DROP_WAIT_MS);
			}
			EXPECT_TRUE(ended) << "the game did not end";
			click_button(displays[0], windows[0], QUIT_Y);
		}
		int status = finish(game, END_MS);
		*report = game.err;
		for (Display *d : displays)
			if (d)
				XCloseDisplay(d);
		return status;
	}
};

TEST_F(Memcheck, SingleGameToItsEndHasNoMemoryError)
{
	XServer server;
	std::string before = read_file(SINGLE_HISCORE_FILE);
	std::string report;

	int status = play({ &server }, { "-p1", "zed" }, [&] {
		return exists(UNLOCK_FILE) && read_file(SINGLE_HISCORE_FILE) != before;
	}, &report);

	EXPECT_EQ(0, status) << report;
	EXPECT_EQ(std::string::npos, report.find("Invalid read")) << report;
	EXPECT_EQ(std::string::npos, report.find("Invalid write")) << report;
}

TEST_F(Memcheck, DuelToItsEndHasNoMemoryError)
{
	XServer first, second;
	std::string report;

	int status = play({ &first, &second }, { "-p1", "anna", "-m2", second.name(), "-p2", "bert" },
	                  [&] { return read_lines(MATCH_LOG_FILE).size() == 1; }, &report);

	EXPECT_EQ(0, status) << report;
	EXPECT_EQ(std::string::npos, report.find("Invalid read")) << report;
	EXPECT_EQ(std::string::npos, report.find("Invalid write")) << report;
}

}  // namespace
