// Single play end to end: the real program on a private Xvfb, played with real key
// presses and judged by the pixels of its window. Each test is one run of the program
// with its clock, and so its order of pieces, fixed; a small model of the game
// (tests/support/play_model.h) says what the window must show. Start with the fixture.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "control/main_loop.h"
#include "display/connection.h"
#include "display/geometry.h"
#include "results/hiscore_store.h"
#include "results/paths.h"
#include "tests/support/game_text.h"
#include "tests/support/piece_model.h"
#include "tests/support/play_model.h"
#include "tests/support/play_screen.h"
#include "tests/support/x_server.h"

namespace {

const long KEYS_SEED = 3;      /* kinds 4, 5, ...: the first has four different shapes */
const long SWAPPED_SEED = 7;   /* kinds 5, ... */
const long GAME_SEED = 1;      /* the planner completes a row with its eighth piece */
const int ORDER_LENGTH = 200;  /* more pieces than any game here takes */
const int FIRST_FOUR_SHAPED_KIND = 4;   /* kinds 4 to 6 look different in every rotation */

const int WAIT_MS = 5000;            /* for what the program does within a few ticks */
const int GRAVITY_WAIT_MS = 10000;   /* for a gravity step: 41 ticks of 50 ms and more */
// Two gravity steps lie at least 41 ticks of 50 ms apart. A wait shorter than that sees
// at most one of them, so a piece that comes down two rows in it has been moved by at
// least one of the two soft drops.
const int SOFT_DROP_PRESSES = 2;
const int SOFT_DROP_WAIT_MS = 1500;
static_assert(SOFT_DROP_WAIT_MS < (START_FALL_DELAY + 1) * (TICK_USEC / 1000),
              "the soft-drop wait must be shorter than the time between two gravity steps");
// A new piece may have fallen this far by gravity before the test reads the screen.
const int ROWS_FALLEN_UNSEEN = 2;

const int PLANNED_PIECES_MAX = 12;   /* the planner must complete a row within these */
const int TOP_ROWS_KEPT_FREE = 5;    /* room to turn and shift a tall piece at the top */
const int GAME_PIECES_MAX = 60;      /* hard drops that must end a game */
const char PLAYER_NAME[] = "tester";
const char EMPTY_ENTRY_NAME[] = "none";

// One key press and what the rules make of it.
struct KeyCase {
	KeySym keysym;
	const char *name;   /* names the case in failures */
	int shift;          /* -1 one column left, +1 right, 0 none */
	int turn;           /* +1 the turning keys' own sense, -1 the other, 0 none */
	bool refused;       /* the piece stays as it is: a wall, or a key without action */
};

Piece at_row(Piece p, int row)
{
	p.row = row;
	return p;
}

bool read_file(const char *path, std::string *text)
{
	std::ifstream in(path);
	if (!in)
		return false;
	std::stringstream s;
	s << in.rdbuf();
	*text = s.str();
	return true;
}

// The tests' games directory with a single-play table of empty entries and a free lock
// marker, so that a game stores its result; what was there before is put back.
class SingleTableOnDisk {
public:
	SingleTableOnDisk()
	{
		mkdir(GAMES_DIR, 0755);
		had_table_ = read_file(SINGLE_HISCORE_FILE, &old_table_);
		had_marker_ = access(UNLOCK_FILE, F_OK) == 0;
		std::ofstream table(SINGLE_HISCORE_FILE);
		for (int i = 0; i < TABLE_ENTRIES; i++)
			table << EMPTY_ENTRY_NAME << " 0\n";
		std::ofstream marker(UNLOCK_FILE, std::ios::app);
	}
	~SingleTableOnDisk()
	{
		if (had_table_)
			std::ofstream(SINGLE_HISCORE_FILE) << old_table_;
		else
			remove(SINGLE_HISCORE_FILE);
		if (!had_marker_)
			remove(UNLOCK_FILE);
	}

private:
	bool had_table_, had_marker_;
	std::string old_table_;
};

class SinglePlay : public ::testing::Test {
protected:
	static void SetUpTestSuite() { server_ = new XServer(); }
	static void TearDownTestSuite()
	{
		delete server_;
		server_ = nullptr;
	}

	void SetUp() override
	{
		ASSERT_FALSE(server_->name().empty()) << "Xvfb did not start";
		display_ = server_->connect();
		ASSERT_NE(nullptr, display_);
		colors_ = game_colors(display_);
		probe_.reset(new GameText(display_));
		ASSERT_TRUE(probe_->ok()) << "the game's font is missing";
	}

	void TearDown() override
	{
		stop(child_);
		if (HasFailure() && !child_.err.empty())
			std::cerr << "The program wrote on standard error:\n" << child_.err;
		// The next test must not find this run's window.
		wait_for([&] { return find_window(display_, WINDOW_TITLE) == 0; }, WAIT_MS);
		probe_.reset();
		if (display_)
			XCloseDisplay(display_);
	}

	// Starts the program with the pieces that `seed` gives, and waits for its window.
	void start(long seed, const std::vector<std::string> &args)
	{
		kinds_ = piece_order(seed, ORDER_LENGTH);
		next_kind_ = 0;
		child_ = spawn_seeded(program_under_test(), args, server_->name(), seed);
		window_ = wait_for_window(display_, WINDOW_TITLE);
		ASSERT_NE(0u, window_) << "no window";
	}

	int take_kind() { return kinds_[next_kind_++]; }

	void press(KeySym keysym) { press_key(display_, window_, keysym); }

	void click_button(int y) { click(display_, window_, BUTTON_X + BUTTON_WIDTH / 2, y); }

	// Waits until the window shows board with the piece p at some row from `from` to
	// `to`, and returns that row, or -1.
	int wait_for_piece(const Field &board, Piece p, int from, int to, int timeout_ms = WAIT_MS)
	{
		int found = -1;
		wait_for([&] {
			Image shot(display_, window_);
			seen_ = read_field(shot, colors_);
			for (int r = from; r <= to && found < 0; r++)
				if (fits(board, at_row(p, r)) && seen_ == with_piece(board, at_row(p, r)))
					found = r;
			return found >= 0;
		}, timeout_ms);
		return found;
	}

	std::string seen() const { return "the window shows:\n" + picture(seen_); }

	// Presses each key and waits until the piece is where the rules put it: shifted or
	// turned where it fits, else as it was. A refused key shows only in the case after
	// it, so no table ends with one.
	void play_keys(const Field &board, Piece &p, const KeyCase *cases, size_t count,
	               int rotate_sense)
	{
		ASSERT_FALSE(cases[count - 1].refused) << "the last key must show on the screen";
		for (size_t i = 0; i < count; i++) {
			const KeyCase &c = cases[i];
			Piece moved = p;
			moved.col += c.shift;
			moved.rotation = (p.rotation + c.turn * rotate_sense + ROTATION_COUNT) %
			                 ROTATION_COUNT;
			bool moves = (c.shift != 0 || c.turn != 0) && fits(board, moved);
			ASSERT_EQ(c.refused, !moves) << c.name << ": the table's case is not what it says";
			Piece expected = moves ? moved : p;

			press(c.keysym);
			int row = wait_for_piece(board, expected, p.row, p.row + 1);
			ASSERT_GE(row, 0) << c.name << ": the piece should stand at column "
			                  << expected.col << " in rotation " << expected.rotation
			                  << ", " << seen();
			p = at_row(expected, row);
		}
	}

	// Hard-drops p with `key` and waits until the window shows the landing, the score
	// and the next piece, or the end of the game. The key finds p at p.row, or lower by
	// up to gravity_rows if gravity may come first. Afterwards game holds the landing and
	// p is the next piece. Returns false, with a failure reported, if the window never
	// shows it.
	bool hard_drop(SingleGame &game, Piece &p, KeySym key, int gravity_rows, bool *ended,
	               int *cleared)
	{
		int next = take_kind();
		std::vector<SingleGame> outcomes;
		for (int r = p.row; r <= p.row + gravity_rows; r++)
			if (fits(game.field, at_row(p, r))) {
				SingleGame g = game;
				*cleared = g.hard_drop(at_row(p, r), next);
				outcomes.push_back(g);
			}
		if (outcomes.empty()) {
			ADD_FAILURE() << "the model's piece does not fit where the window showed it";
			return false;
		}
		Piece coming = spawned(next);
		*ended = !fits(outcomes[0].field, coming);

		press(key);
		const SingleGame *shown = nullptr;
		int shown_row = -1;
		wait_for([&] {
			Image shot(display_, window_);
			seen_ = read_field(shot, colors_);
			shown = nullptr;
			for (const SingleGame &g : outcomes)
				if (shows_score(*probe_, shot, colors_, g.score))
					shown = &g;
			if (!shown)
				return false;
			if (*ended)
				return shows_game_button(*probe_, shot, colors_, "New");
			for (int r = 0; r <= ROWS_FALLEN_UNSEEN && shown_row < 0; r++)
				if (fits(shown->field, at_row(coming, r)) &&
				    seen_ == with_piece(shown->field, at_row(coming, r)))
					shown_row = r;
			return shown_row >= 0;
		}, WAIT_MS);

		if (!shown || (!*ended && shown_row < 0)) {
			std::string scores;
			for (const SingleGame &g : outcomes)
				scores += (scores.empty() ? "" : " or ") + std::to_string(g.score);
			ADD_FAILURE() << "after the hard drop of kind " << p.kind << " the window should "
			              << "show the score " << scores << " and "
			              << (*ended ? "New on the game button"
			                         : "this field with the next piece at the top:\n" +
			                           picture(with_piece(outcomes[0].field, coming)))
			              << "\n" << seen();
			return false;
		}
		game = *shown;
		p = at_row(coming, *ended ? SPAWN_ROW : shown_row);
		return true;
	}

	static XServer *server_;
	Display *display_ = nullptr;
	Window window_ = 0;
	Child child_;
	GameColors colors_;
	std::unique_ptr<GameText> probe_;
	std::vector<int> kinds_;
	size_t next_kind_ = 0;
	Field seen_ = empty_field();   /* what the window showed at the last look */
};

XServer *SinglePlay::server_ = nullptr;

TEST_F(SinglePlay, GravityAndKeysMoveThePieceUpToTheWallsAndHardDropsLandIt)
{
	ASSERT_NO_FATAL_FAILURE(start(KEYS_SEED, {}));
	SingleGame game;
	Piece p = spawned(take_kind());
	ASSERT_GE(p.kind, FIRST_FOUR_SHAPED_KIND) << "the seed's first piece must show its turns";

	p.row = wait_for_piece(game.field, p, SPAWN_ROW, SPAWN_ROW + 1);
	ASSERT_GE(p.row, 0) << "the first piece at the spawn position, " << seen();
	Image start_shot(display_, window_);
	EXPECT_TRUE(shows_score(*probe_, start_shot, colors_, 0)) << "a new game scores 0";
	EXPECT_TRUE(shows_game_button(*probe_, start_shot, colors_, "Pause"));

	// No key: gravity alone moves the piece one row down.
	int fallen = wait_for_piece(game.field, p, p.row + 1, p.row + 1, GRAVITY_WAIT_MS);
	ASSERT_EQ(p.row + 1, fallen) << "gravity, " << seen();
	p.row = fallen;

	const KeyCase moves[] = {
		/* keysym    name                                  shift turn refused */
		{ XK_Left,  "Left",                                -1,   0,   false },
		{ XK_a,     "a",                                   -1,   0,   false },
		{ XK_b,     "b",                                   -1,   0,   false },
		{ XK_h,     "h",                                   -1,   0,   false },
		{ XK_Left,  "Left at the left wall",               -1,   0,   true },
		{ XK_A,     "upper-case A",                        0,    0,   true },
		{ XK_Right, "Right",                               +1,   0,   false },
		{ XK_d,     "d",                                   +1,   0,   false },
		{ XK_l,     "l",                                   +1,   0,   false },
		{ XK_m,     "m",                                   +1,   0,   false },
		{ XK_D,     "upper-case D",                        0,    0,   true },
		{ XK_c,     "c",                                   0,    +1,  false },
		{ XK_k,     "k",                                   0,    +1,  false },
		{ XK_w,     "w",                                   0,    +1,  false },
		{ XK_Up,    "Up",                                  0,    +1,  false },
		{ XK_C,     "upper-case C",                        0,    0,   true },
		{ XK_v,     "v",                                   0,    -1,  false },
		{ XK_V,     "upper-case V",                        0,    0,   true },
		{ XK_Right, "Right toward the right wall",         +1,   0,   false },
		{ XK_Right, "Right toward the right wall",         +1,   0,   false },
		{ XK_Right, "Right toward the right wall",         +1,   0,   false },
		{ XK_Right, "Right to the right wall",             +1,   0,   false },
		{ XK_Right, "Right at the right wall",             +1,   0,   true },
		{ XK_c,     "c at the right wall, too wide to turn", 0,  +1,  true },
		{ XK_X,     "upper-case X",                        0,    0,   true },
		{ XK_Left,  "Left off the right wall",             -1,   0,   false },
	};
	ASSERT_NO_FATAL_FAILURE(play_keys(game.field, p, moves, std::size(moves), +1));

	const KeySym soft_drops[] = { XK_j, XK_n, XK_s, XK_Down };
	for (KeySym key : soft_drops) {
		int goal = p.row + SOFT_DROP_PRESSES;
		ASSERT_GT(landing_row(game.field, p), goal + 1) << "room for the soft drops";
		for (int i = 0; i < SOFT_DROP_PRESSES; i++)
			press(key);
		int row = wait_for_piece(game.field, p, goal, goal + 1, SOFT_DROP_WAIT_MS);
		ASSERT_GE(row, 0) << "soft drop " << XKeysymToString(key) << " from row " << p.row
		                  << ", " << seen();
		p.row = row;
	}

	// From low in the field, where the last soft drop may still be on its way; then the
	// next piece at once from the top, long before its first gravity step.
	bool ended = false;
	int cleared = 0;
	ASSERT_TRUE(hard_drop(game, p, XK_x, 1, &ended, &cleared)) << "hard drop x";
	ASSERT_TRUE(hard_drop(game, p, XK_space, 0, &ended, &cleared)) << "hard drop space";
	EXPECT_FALSE(ended);
}

TEST_F(SinglePlay, SwappedTurningKeysTurnTheOtherWay)
{
	ASSERT_NO_FATAL_FAILURE(start(SWAPPED_SEED, { "-c1" }));
	const int SWAPPED_SENSE = -1;
	Field board = empty_field();
	Piece p = spawned(take_kind());
	ASSERT_GE(p.kind, FIRST_FOUR_SHAPED_KIND) << "the seed's first piece must show its turns";
	p.row = wait_for_piece(board, p, SPAWN_ROW, SPAWN_ROW + 1);
	ASSERT_GE(p.row, 0) << "the first piece at the spawn position, " << seen();

	const KeyCase turns[] = {
		/* keysym  name  shift turn refused */
		{ XK_c,   "c",  0,    +1,  false },
		{ XK_c,   "c",  0,    +1,  false },
		{ XK_v,   "v",  0,    -1,  false },
		{ XK_Up,  "Up", 0,    +1,  false },
		{ XK_v,   "v",  0,    -1,  false },
		{ XK_v,   "v",  0,    -1,  false },
	};
	ASSERT_NO_FATAL_FAILURE(play_keys(board, p, turns, std::size(turns), SWAPPED_SENSE));
}

TEST_F(SinglePlay, FullRowClearsAndAGameOfHardDropsEndsInTheHiscoreView)
{
	ASSERT_NE(0, access(LOCK_FILE, F_OK)) << "a stale lock in the tests' games directory";
	SingleTableOnDisk table;
	ASSERT_NO_FATAL_FAILURE(start(GAME_SEED, { "-p1", PLAYER_NAME }));
	SingleGame game;
	Piece p = spawned(take_kind());
	p.row = wait_for_piece(game.field, p, SPAWN_ROW, SPAWN_ROW + 1);
	ASSERT_GE(p.row, 0) << "the first piece at the spawn position, " << seen();

	// Planned placements, each turned and shifted at the top, until a row is full. Every
	// piece is played as soon as it shows, long before its first gravity step, so the
	// hard drop finds it in the row where the window showed it.
	const KeySym turn_keys[] = { XK_c, XK_k, XK_w, XK_Up };
	const KeySym left_keys[] = { XK_a, XK_b, XK_h, XK_Left };
	const KeySym right_keys[] = { XK_d, XK_l, XK_m, XK_Right };
	const KeySym drop_keys[] = { XK_x, XK_space };
	int presses = 0, cleared = 0;
	bool ended = false;
	for (int placed = 0; cleared == 0; placed++) {
		ASSERT_LT(placed, PLANNED_PIECES_MAX) << "the planner fills no row with this seed";
		for (int r = 0; r < TOP_ROWS_KEPT_FREE; r++)
			for (int c = 0; c < BOARD_COLS; c++)
				ASSERT_EQ(CELL_EMPTY, game.field[c][r]) << "the planned stack grew too high";
		Piece target = plan_placement(game.field, p.kind);
		for (int t = 0; t < target.rotation; t++)
			press(turn_keys[presses++ % std::size(turn_keys)]);
		for (int c = p.col; c > target.col; c--)
			press(left_keys[presses++ % std::size(left_keys)]);
		for (int c = p.col; c < target.col; c++)
			press(right_keys[presses++ % std::size(right_keys)]);
		p.rotation = target.rotation;
		p.col = target.col;

		Field before = with_piece(game.field, at_row(p, landing_row(game.field, p)));
		ASSERT_TRUE(hard_drop(game, p, drop_keys[placed % std::size(drop_keys)], 0, &ended,
		                      &cleared)) << "planned piece " << placed;
		ASSERT_FALSE(ended);
		if (cleared == 0)
			continue;
		// The window showed the model's field; say plainly what that means for the row:
		// the lowest full row now holds the nearest row above it that was not full.
		int full = FIELD_ROWS - 1;
		while (full >= 0 && !row_full(before, full))
			full--;
		ASSERT_GE(full, 0) << "the model cleared a row that was not full";
		int above = full - 1;
		while (above >= 0 && row_full(before, above))
			above--;
		for (int c = 0; c < BOARD_COLS; c++)
			EXPECT_EQ(above < 0 ? CELL_EMPTY : before[c][above], seen_[c][full])
			    << "column " << c << ": the rows above the full row " << full << " came down";
	}

	// Hard drops where each piece appears, until the next one has no room.
	for (int dropped = 0; !ended; dropped++) {
		ASSERT_LT(dropped, GAME_PIECES_MAX) << "the game does not end";
		ASSERT_TRUE(hard_drop(game, p, drop_keys[dropped % std::size(drop_keys)], 0, &ended,
		                      &cleared)) << "hard drop " << dropped << " of the end game";
	}

	std::string first_row = hiscore_row(PLAYER_NAME, game.score);
	ASSERT_TRUE(wait_for([&] {
		Image shot(display_, window_);
		return shows_hiscore_view(*probe_, shot, colors_, first_row) &&
		       shows_game_button(*probe_, shot, colors_, "New");
	}, WAIT_MS)) << "the hiscore view with \"" << first_row << "\" on top, and New";
	std::string stored;
	ASSERT_TRUE(read_file(SINGLE_HISCORE_FILE, &stored));
	EXPECT_EQ(std::string(PLAYER_NAME) + " " + std::to_string(game.score) + "\n",
	          stored.substr(0, stored.find('\n') + 1)) << "the stored table's first entry";

	// New: an empty field and the next piece, in rotation 0 like the one that found no room.
	click_button(GAME_BUTTON_Y + BUTTON_HEIGHT / 2);
	game = SingleGame();
	p = spawned(take_kind());
	ASSERT_GE(wait_for_piece(game.field, p, SPAWN_ROW, SPAWN_ROW + ROWS_FALLEN_UNSEEN), 0)
	    << "a new game after New, " << seen();
	Image shot(display_, window_);
	EXPECT_TRUE(shows_score(*probe_, shot, colors_, 0)) << "the new game scores 0";
	EXPECT_TRUE(shows_game_button(*probe_, shot, colors_, "Pause"));

	click_button(QUIT_Y + BUTTON_HEIGHT / 2);
	EXPECT_EQ(0, finish(child_)) << "Quit";
}

}  // namespace
