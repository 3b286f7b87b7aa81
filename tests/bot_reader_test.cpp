// The bot's reading of the real game's window, on Xvfb: the game is played with known
// keys on a known order of pieces, and the reader must give exactly the field the
// tests' own model computes, the falling piece, the duel's floor row and the state of
// the game button.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "bot/screen.h"
#include "display/connection.h"
#include "display/geometry.h"
#include "results/paths.h"
#include "rules/game.h"
#include "tests/support/bot_fields.h"
#include "tests/support/duel_planner.h"
#include "tests/support/piece_model.h"
#include "tests/support/x_server.h"

namespace {

const long KEYS_SEED = 3;      /* kinds 4, 5, ...: the first looks different in each rotation */
const long DUEL_SEED = 2728;   /* player 0 can fill the bottom row once player 1 has landed */
const int DEALT = 60;
const int SPAWN_ROWS = 2;      /* gravity may have moved a new piece this far when it is read */
const int PLAN_TOP_ROW = 12;
const int GAME_END_DROPS = 40; /* hard drops at the spawn that surely end a game */
const int GAME_END_MS = 20000;
const int BUTTON_CLICK_X = BUTTON_X + BUTTON_WIDTH / 2;
const int GAME_BUTTON_CLICK_Y = GAME_BUTTON_Y + BUTTON_HEIGHT / 2;

// The model's field as the bot's grid of `rows` rows, its row r at grid row r + shift.
Grid grid_from(const Field &f, int rows, int shift)
{
	Grid g = empty_grid(rows);
	for (int r = 0; r < FIELD_ROWS; r++)
		if (r + shift >= 0 && r + shift < rows)
			for (int c = 0; c < BOARD_COLS; c++)
				if (f[c][r] != CELL_EMPTY)
					g.line[r + shift] |= (uint16_t)(1u << c);
	return g;
}

// "" when every cell the reader gives is the model's code, else the first that is not.
std::string cells_fault(const View &v, const Field &f)
{
	for (int r = 0; r < FIELD_ROWS; r++)
		for (int c = 0; c < BOARD_COLS; c++)
			if (v.cells[c][r] != f[c][r])
				return "cell (" + std::to_string(c) + ", " + std::to_string(r) + ") reads " +
				       std::to_string(v.cells[c][r]) + ", the model has " + std::to_string(f[c][r]);
	return "";
}

Piece piece_of(const Placement &p)
{
	return Piece{ p.kind, p.rotation, p.col, p.row };
}

// One game window on one display, read by the bot's reader on a connection of its own.
struct Watched {
	Display *display = nullptr;
	Window window = 0;
	Reader reader;
	View view;

	bool open(const XServer &server)
	{
		display = server.connect();
		if (!display)
			return false;
		window = wait_for_window(display, WINDOW_TITLE);
		return window && open_reader(reader, display, window);
	}
	~Watched()
	{
		if (display)
			XCloseDisplay(display);
	}
	bool read() { return read_screen(reader, &view); }

	// Waits until the reader finds a new piece of `kind` at the spawn, with the field
	// around it `settled`.
	bool wait_spawned(int kind, const Grid &settled, Placement *found)
	{
		return wait_for([&] {
			return read() && find_spawned(view, found) && found->kind == kind &&
			       grid_picture(settled_grid(view, found)) == grid_picture(settled);
		});
	}
	bool wait_button(ButtonState state, int timeout_ms = 10000)
	{
		return wait_for([&] { return read() && view.button == state; }, timeout_ms);
	}
};

class BotReadsSingle : public ::testing::Test {
protected:
	static void SetUpTestSuite()
	{
		server_ = new XServer();
		mkdir(GAMES_DIR, 0755);
	}
	static void TearDownTestSuite()
	{
		delete server_;
		server_ = nullptr;
	}
	void TearDown() override
	{
		stop(game_);
		watched_.reset();
	}
	void start(long seed)
	{
		ASSERT_FALSE(server_->name().empty()) << "Xvfb did not start";
		kinds_ = piece_order(seed, DEALT);
		game_ = spawn_seeded(program_under_test(), {}, server_->name(), seed);
		watched_.reset(new Watched);
		ASSERT_TRUE(watched_->open(*server_)) << "no game window to read";
	}
	void press(KeySym k) { press_key(watched_->display, watched_->window, k); }

	static XServer *server_;
	Child game_;
	std::unique_ptr<Watched> watched_;
	std::vector<int> kinds_;
};

XServer *BotReadsSingle::server_;

TEST_F(BotReadsSingle, FieldPieceAndMovesMatchTheModel)
{
	ASSERT_NO_FATAL_FAILURE(start(KEYS_SEED));
	Watched &w = *watched_;
	Field field = empty_field();
	Placement p;
	ASSERT_TRUE(w.wait_spawned(kinds_[0], grid_from(field, FIELD_ROWS, 0), &p))
	    << "the first piece, kind " << kinds_[0];
	EXPECT_EQ(0, p.rotation);
	EXPECT_LE(p.row, SPAWN_ROWS);
	EXPECT_FALSE(w.view.duel);
	EXPECT_EQ(START_FLOOR_ROW, w.view.floor_row);
	EXPECT_EQ(BUTTON_PLAYING, w.view.button);

	// One turn (rotation 1 of a kind whose four looks differ) and two shifts left.
	press(XK_w);
	press(XK_Left);
	press(XK_Left);
	Placement moved{ p.kind, 1, SPAWN_COL - 2, p.row };
	Placement seen{};
	std::string fault = "never read";
	ASSERT_TRUE(wait_for([&] {
		if (!w.read() || !find_near(w.view, moved, &seen) || seen.rotation != 1 ||
		    seen.col != moved.col)
			return false;
		fault = cells_fault(w.view, with_piece(field, piece_of(seen)));
		return fault.empty();
	})) << "the turned and shifted piece: " << fault;
	EXPECT_FALSE(find_spawned(w.view, &p)) << "a moved piece is no new piece";

	// Two hard drops; after each the reader gives the landed field and the next piece.
	Piece landing = piece_of(seen);
	for (int i = 1; i <= 2; i++) {
		landing.row = landing_row(field, landing);
		land(field, landing);
		press(XK_space);
		ASSERT_TRUE(w.wait_spawned(kinds_[i], grid_from(field, FIELD_ROWS, 0), &p))
		    << "after drop " << i << ", kind " << kinds_[i] << " should be new on:\n"
		    << picture(field);
		EXPECT_EQ("", cells_fault(w.view, with_piece(field, piece_of(p)))) << "drop " << i;
		landing = piece_of(p);
	}
}

TEST_F(BotReadsSingle, GameButtonReadsPlayingPausedAndOver)
{
	ASSERT_NO_FATAL_FAILURE(start(KEYS_SEED));
	Watched &w = *watched_;
	ASSERT_TRUE(w.wait_button(BUTTON_PLAYING)) << "a new game is played";
	click(w.display, w.window, BUTTON_CLICK_X, GAME_BUTTON_CLICK_Y);
	ASSERT_TRUE(w.wait_button(BUTTON_PAUSED)) << "Continue after a click on Pause";
	Placement p;
	EXPECT_FALSE(find_spawned(w.view, &p)) << "the pause hides the piece";
	EXPECT_EQ(0, grid_holes(settled_grid(w.view, nullptr)) +
	                 column_height(settled_grid(w.view, nullptr), SPAWN_COL))
	    << "the pause hides the field";
	click(w.display, w.window, BUTTON_CLICK_X, GAME_BUTTON_CLICK_Y);
	ASSERT_TRUE(w.wait_button(BUTTON_PLAYING)) << "Pause after a click on Continue";
	for (int i = 0; i < GAME_END_DROPS; i++)
		press(XK_space);
	EXPECT_TRUE(w.wait_button(BUTTON_OVER, GAME_END_MS)) << "New once the field is full";
}

class BotReadsDuel : public ::testing::Test {
protected:
	static void SetUpTestSuite()
	{
		for (auto &s : servers_)
			s = new XServer();
		mkdir(GAMES_DIR, 0755);
	}
	static void TearDownTestSuite()
	{
		for (auto &s : servers_) {
			delete s;
			s = nullptr;
		}
	}
	void TearDown() override
	{
		stop(game_);
		for (auto &w : watched_)
			w.reset();
	}

	static XServer *servers_[PLAYER_COUNT];
	Child game_;
	std::unique_ptr<Watched> watched_[PLAYER_COUNT];
};

XServer *BotReadsDuel::servers_[PLAYER_COUNT];

TEST_F(BotReadsDuel, OwnFieldAndFloorRowFollowTheBorder)
{
	for (auto &s : servers_)
		ASSERT_FALSE(s->name().empty()) << "Xvfb did not start";
	std::vector<int> kinds = piece_order(DUEL_SEED, DEALT);
	game_ = spawn_seeded(program_under_test(),
	                     { "-m1", servers_[0]->name(), "-m2",
	                       servers_[1]->name(), "-p1", "anna", "-p2", "bert" },
	                     servers_[0]->name(), DUEL_SEED);
	for (int p = 0; p < PLAYER_COUNT; p++) {
		watched_[p].reset(new Watched);
		ASSERT_TRUE(watched_[p]->open(*servers_[p])) << "no window of player " << p;
	}
	Watched &w0 = *watched_[0], &w1 = *watched_[1];
	Field field[PLAYER_COUNT] = { empty_field(), empty_field() };
	Placement p;
	ASSERT_TRUE(w0.wait_spawned(kinds[0], grid_from(field[0], FIELD_ROWS, 0), &p));
	EXPECT_TRUE(w0.view.duel);
	EXPECT_EQ(START_FLOOR_ROW, w0.view.floor_row);

	// Player 1 lands first, so that player 0 is dealt every kind from the fourth on.
	ASSERT_TRUE(w1.wait_spawned(kinds[1], grid_from(field[1], FIELD_ROWS, 0), &p));
	Piece dropped = spawned(kinds[1]);
	dropped.row = landing_row(field[1], dropped);
	land(field[1], dropped);
	press_key(w1.display, w1.window, XK_space);
	ASSERT_TRUE(w1.wait_spawned(kinds[2], grid_from(field[1], FIELD_ROWS, 0), &p))
	    << "player 1's drop, read in his window above the mirrored field of player 0";

	std::vector<int> dealt_to_0 = { kinds[0] };
	dealt_to_0.insert(dealt_to_0.end(), kinds.begin() + 3, kinds.end());
	std::vector<Piece> plan = plan_row_clear(field[0], dealt_to_0, PLAN_TOP_ROW);
	ASSERT_FALSE(plan.empty()) << "no plan fills a row with the kinds of seed " << DUEL_SEED;
	int cleared = 0;
	size_t i = 0;
	for (; i < plan.size() && cleared == 0; i++) {
		ASSERT_TRUE(w0.wait_spawned(plan[i].kind, grid_from(field[0], FIELD_ROWS, 0), &p))
		    << "player 0's piece " << i << ", kind " << plan[i].kind;
		for (int t = 0; t < plan[i].rotation; t++)
			press_key(w0.display, w0.window, XK_w);
		for (int col = SPAWN_COL; col != plan[i].col; col += col < plan[i].col ? 1 : -1)
			press_key(w0.display, w0.window, col < plan[i].col ? XK_Right : XK_Left);
		press_key(w0.display, w0.window, XK_x);
		cleared = land(field[0], plan[i]);
	}
	ASSERT_GT(cleared, 0);

	// Player 0's field grew by the cleared rows at its bottom, player 1's shrank at its
	// top; each reader sees its own field only, bottom rows in place above the bar.
	int floor0 = START_FLOOR_ROW + cleared, floor1 = START_FLOOR_ROW - cleared;
	ASSERT_TRUE(w0.wait_spawned(dealt_to_0[i], grid_from(field[0], floor0 + 1, cleared), &p))
	    << "player 0 after clearing " << cleared << " rows:\n" << picture(field[0])
	    << "reads floor row " << w0.view.floor_row;
	EXPECT_EQ(floor0, w0.view.floor_row);
	ASSERT_TRUE(wait_for([&] {
		Placement q;
		bool piece = w1.read() && find_near(w1.view, Placement{ kinds[2], 0, SPAWN_COL, 0 }, &q);
		return w1.view.floor_row == floor1 &&
		       grid_picture(settled_grid(w1.view, piece ? &q : nullptr)) ==
		           grid_picture(grid_from(field[1], floor1 + 1, -cleared));
	})) << "player 1's field after losing " << cleared << " rows: reads floor row "
	    << w1.view.floor_row << "\n" << grid_picture(settled_grid(w1.view, nullptr));
	EXPECT_EQ(BUTTON_PLAYING, w0.view.button);
	EXPECT_EQ(BUTTON_PLAYING, w1.view.button);
}

}  // namespace
