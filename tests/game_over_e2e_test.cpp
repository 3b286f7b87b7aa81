// The end of a single game, with the real program under Xvfb: hard drops until the
// spawn position fills, the result stored in the hiscore file, the tables in place of
// the field, New bringing the field back and Quit ending the program.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/hiscore_view.h"
#include "results/hiscore_store.h"
#include "results/paths.h"
#include "rules/game.h"
#include "tests/support/game_text.h"
#include "tests/support/results_files.h"
#include "tests/support/x_server.h"

namespace {

const long SEED = 20240304;         /* the program's clock, and so its pieces */
const char PLAYER[] = "zed";
const int MAX_DROPS = 400;          /* far more than the field can take */
const int DROP_WAIT_MS = 100;       /* per drop: two ticks of the game */
const int LOCK_GIVE_UP_MS = 15000;  /* ten tries, and time to spare */
const int PLACE = 5;                /* the first entry a game of a few drops can beat */

// Five entries out of reach, then ten that any score beats.
std::vector<Entry> starting_table()
{
	std::vector<Entry> entries = ladder("top", PLACE, 500000, 100000);
	std::vector<Entry> low = ladder("low", TABLE_ENTRIES - PLACE, -10000, 1);
	entries.insert(entries.end(), low.begin(), low.end());
	return entries;
}

// Clicks the middle of a button's hit area.
void click_button(Display *d, Window w, int button_y)
{
	click(d, w, (HIT_LEFT + HIT_RIGHT) / 2, button_y + BUTTON_HEIGHT / 2);
}

class GameOverEndToEnd : public ::testing::Test {
protected:
	static std::unique_ptr<XServer> server_;
	static Display *d_;

	static void SetUpTestSuite()
	{
		server_.reset(new XServer());
		d_ = server_->connect();
	}
	static void TearDownTestSuite()
	{
		if (d_)
			XCloseDisplay(d_);
		d_ = nullptr;
		server_.reset();
	}

	Child game_;
	Window window_ = 0;
	GameColors colors_ = {};
	unsigned long title_ = 0, rows_ = 0;   /* the single-play table's title and rows */

	void SetUp() override
	{
		ASSERT_TRUE(d_) << "no X server";
		empty_dir(GAMES_DIR);
		write_file(SINGLE_HISCORE_FILE, hiscore_text(starting_table()));
		colors_ = game_colors(d_);
		title_ = colors_.piece[TABLE_KIND][COLOR_FACE];
		rows_ = colors_.piece[TABLE_KIND][COLOR_DARK_EDGE];
	}
	void TearDown() override
	{
		stop(game_);
		empty_dir(GAMES_DIR);
	}

	void start_game()
	{
		game_ = spawn_seeded(program_under_test(), { "-p1", PLAYER }, server_->name(), SEED);
		window_ = wait_for_window(d_, WINDOW_TITLE);
		ASSERT_NE(0u, window_) << "no game window";
	}

	// Hard drops until `over` holds; false if the game never ended.
	bool drop_until(const std::function<bool()> &over)
	{
		for (int i = 0; i < MAX_DROPS; i++) {
			press_key(d_, window_, XK_space);
			if (wait_for(over, DROP_WAIT_MS))
				return true;
		}
		return false;
	}

	bool text_shown(const GameText &font, int x, int y, const std::string &text,
	                unsigned long fg, std::string *why)
	{
		Image image(d_, window_);
		return font.shows(image, text, x, y, fg, colors_.background, why);
	}

	// The hiscore view of single play: the title, and each entry as a row.
	void expect_view(const GameText &font, const std::vector<std::string> &rows)
	{
		std::string why;
		EXPECT_TRUE(wait_for([&] {
			return text_shown(font, TABLE_X, TITLE_BASELINE, SINGLE_TITLE, title_, &why);
		})) << why;
		Image image(d_, window_);
		ASSERT_TRUE(image.ok());
		for (size_t i = 0; i < rows.size(); i++)
			EXPECT_TRUE(font.shows(image, rows[i], TABLE_X, ROW_BASELINE + ROW_PITCH * i, rows_,
			                       colors_.background, &why))
				<< "row " << i << ": " << why;
	}

	// The button at button_y reads `label` in fg.
	void expect_button(const GameText &font, int button_y, const char *label, unsigned long fg)
	{
		std::string why;
		EXPECT_TRUE(wait_for([&] {
			Image image(d_, window_);
			return font.button_shows(image, button_y, label, fg, colors_.background, &why);
		})) << why;
	}

	void expect_game_button(const GameText &font, const char *label)
	{
		expect_button(font, GAME_BUTTON_Y, label, colors_.dark);
	}

	// Covers the game's window with one of our own and takes it away again: the server
	// clears what was covered, and the game gets its exposures.
	void expose_window()
	{
		Window cover = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, WINDOW_WIDTH + 20,
		                                   SINGLE_HEIGHT + 20, 0, 0, 0);
		XMapRaised(d_, cover);
		XSync(d_, False);
		ASSERT_TRUE(wait_for([&] { return pixel_at(d_, window_, TABLE_X, TITLE_BASELINE) == 0; }));
		XDestroyWindow(d_, cover);
		XSync(d_, False);
	}

	// Columns left of the spawn column stay empty in a new game: no panel, no rows.
	bool left_of_spawn_empty()
	{
		Image image(d_, window_);
		if (!image.ok())
			return false;
		for (int y = FIELD_Y; y < FIELD_Y + CELL_PX * (START_FLOOR_ROW + 1); y++)
			for (int x = FIELD_X; x < FIELD_X + CELL_PX * SPAWN_COL; x++)
				if (image.at(x, y) != colors_.background)
					return false;
		return true;
	}

	void quit()
	{
		click_button(d_, window_, QUIT_Y);
		EXPECT_EQ(0, finish(game_));
	}
};

std::unique_ptr<XServer> GameOverEndToEnd::server_;
Display *GameOverEndToEnd::d_ = nullptr;

TEST_F(GameOverEndToEnd, SingleGameIsStoredShownAndFollowedByANewOne)
{
	std::string before = read_file(SINGLE_HISCORE_FILE);
	write_file(UNLOCK_FILE, "");
	start_game();
	GameText font(d_);
	ASSERT_TRUE(font.ok());

	// Stored: the file changed and the lock is free again.
	ASSERT_TRUE(drop_until([&] {
		return exists(UNLOCK_FILE) && read_file(SINGLE_HISCORE_FILE) != before;
	}))
		<< "the game did not end";

	// The file: the player's result placed, the last entry dropped, 15 lines.
	std::vector<std::string> lines = read_lines(SINGLE_HISCORE_FILE);
	ASSERT_EQ((size_t)TABLE_ENTRIES, lines.size());
	std::vector<Entry> start = starting_table();
	char name[ENTRY_NAME_SIZE] = "";
	int score = 0;
	ASSERT_EQ(2, sscanf(lines[PLACE].c_str(), "%9s %i", name, &score)) << lines[PLACE];
	EXPECT_STREQ(PLAYER, name);
	EXPECT_GT(score, start[PLACE].score);
	std::vector<Entry> want = start;
	want.insert(want.begin() + PLACE, { PLAYER, score });
	want.pop_back();
	std::vector<std::string> rows;
	for (size_t i = 0; i < want.size(); i++) {
		EXPECT_EQ(want[i].name + " " + std::to_string(want[i].score), lines[i]) << "line " << i;
		rows.push_back(hiscore_row(want[i].name, want[i].score));
	}
	EXPECT_TRUE(exists(UNLOCK_FILE));
	EXPECT_FALSE(exists(LOCK_FILE));
	EXPECT_FALSE(exists(MATCH_LOG_FILE)) << "single play logs nothing";

	expect_view(font, rows);
	expect_game_button(font, "New");
	EXPECT_NE(colors_.dark, pixel_at(d_, window_, BUTTON_X, RESULT_Y)) << "no result frame";

	// An exposure redraws the tables, and with the panel the result frame of single play.
	expose_window();
	expect_view(font, rows);
	expect_game_button(font, "New");
	expect_button(font, RESULT_Y, "WINNER", colors_.light);

	click_button(d_, window_, GAME_BUTTON_Y);
	EXPECT_TRUE(wait_for([&] { return left_of_spawn_empty(); })) << "the field is back";
	expect_game_button(font, "Pause");

	quit();
	drain_stderr(game_);
	EXPECT_EQ("", game_.err);
}

TEST_F(GameOverEndToEnd, LockNotTakenShowsTablesNeverRead)
{
	// No marker: the game gives up on the lock and shows the tables it holds, empty.
	std::string text = read_file(SINGLE_HISCORE_FILE);
	start_game();
	GameText font(d_);
	ASSERT_TRUE(font.ok());

	ASSERT_TRUE(drop_until([&] {
		drain_stderr(game_);
		return game_.err.find("Sorry can't lock hiscore-file\n") != std::string::npos;
	})) << "the game did not end";

	std::string why;
	EXPECT_TRUE(wait_for([&] {
		return text_shown(font, TABLE_X, TITLE_BASELINE, SINGLE_TITLE, title_, &why);
	}, LOCK_GIVE_UP_MS)) << why;
	expect_view(font, std::vector<std::string>(TABLE_ENTRIES, hiscore_row("", 0)));
	expect_game_button(font, "New");
	EXPECT_EQ(text, read_file(SINGLE_HISCORE_FILE));
	EXPECT_FALSE(exists(LOCK_FILE));

	quit();
	EXPECT_EQ("Sorry can't lock hiscore-file\n", game_.err);
}

}  // namespace
