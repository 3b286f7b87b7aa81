// Duels end to end: the real program with two players on two private X servers, played
// with key presses and clicks on each display and checked by the pixels of both windows.
// The pieces are dealt from a fixed clock, so the tests know every kind in advance.
#include <gtest/gtest.h>
#include <X11/keysym.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

#include "control/startup.h"
#include "display/connection.h"
#include "display/geometry.h"
#include "results/hiscore_store.h"
#include "results/paths.h"
#include "rules/game.h"
#include "tests/support/duel_planner.h"
#include "tests/support/duel_screen.h"
#include "tests/support/game_text.h"
#include "tests/support/piece_model.h"
#include "tests/support/results_files.h"
#include "tests/support/x_server.h"

namespace {

// Deals 4 (player 0), 1 (player 1), then player 0 fills the bottom row in three drops
// once player 1 has landed his first piece.
const long SEED = 2728;
const int DEALT = 40;            /* more kinds than any test lands pieces */
const int SPAWN_ROWS = 8;        /* a new piece is looked for this far below the spawn row */
const int PLAN_TOP_ROW = 12;     /* planned stacks stay below this row, far from the pieces */
const int CHECKED_TOP_ROW = 12;  /* settled blocks are compared from this field row down */
const int FILL_DROPS = 40;       /* hard drops that surely fill a stack up to the spawn */
const int GAME_END_MS = 20000;
const char *const NAMES[PLAYER_COUNT] = { "anna", "bert" };

const int BUTTON_CLICK_X = BUTTON_X + BUTTON_WIDTH / 2;   /* inside both buttons' hit ranges */
const int GAME_BUTTON_CLICK_Y = GAME_BUTTON_Y + BUTTON_HEIGHT / 2;
const int QUIT_CLICK_Y = QUIT_Y + BUTTON_HEIGHT / 2;

// Fifteen winners and fifteen losers, all below any score of a game.
std::string prefilled_entry(int table, int i)
{
	char line[32];
	snprintf(line, sizeof line, "%c%02d %d\n", table == 0 ? 'w' : 'l', i + 1, -10 * (i + 1));
	return line;
}

std::string prefilled_hiscores()
{
	std::string text;
	for (int t = 0; t < TABLE_COUNT; t++)
		for (int i = 0; i < TABLE_ENTRIES; i++)
			text += prefilled_entry(t, i);
	return text;
}

// The time text that ends a log line of a program whose clock stands at SEED.
std::string log_time()
{
	time_t t = SEED;
	std::string text = ctime(&t);
	return text.substr(0, text.find('\n'));
}

std::string stored_name(const char *name)
{
	return std::string(name).substr(0, ENTRY_NAME_SIZE - 1);
}

// A window that goes away while it is read must fail the check, not end the test run.
int ignore_x_error(Display *, XErrorEvent *)
{
	return 0;
}

// Both windows' pixels, read one after the other.
struct Screens {
	std::unique_ptr<Image> window[PLAYER_COUNT];
	const Image &operator[](int p) const { return *window[p]; }
};

// What a duel's end added to the match log, when that is exactly one line.
::testing::AssertionResult one_new_line(const std::string &before, std::string *line)
{
	std::string log = read_file(MATCH_LOG_FILE);
	if (log.compare(0, before.size(), before) != 0)
		return ::testing::AssertionFailure() << "the old log lines changed";
	*line = log.substr(before.size());
	if (std::count(line->begin(), line->end(), '\n') != 1 || line->back() != '\n')
		return ::testing::AssertionFailure() << "not one new line: \"" << *line << "\"";
	return ::testing::AssertionSuccess();
}

// The hiscore file and the marker as the end of a duel needs them; returns the match log
// so far.
std::string prepare_games_dir()
{
	write_file(DUEL_HISCORE_FILE, prefilled_hiscores());
	unlink(LOCK_FILE);
	write_file(UNLOCK_FILE, "");
	return read_file(MATCH_LOG_FILE);
}

class Duel : public ::testing::Test {
protected:
	static XServer *servers[PLAYER_COUNT];

	static void SetUpTestSuite()
	{
		for (auto &s : servers)
			s = new XServer();
		mkdir(GAMES_DIR, 0755);
		XSetErrorHandler(ignore_x_error);
	}

	static void TearDownTestSuite()
	{
		for (auto &s : servers) {
			delete s;
			s = nullptr;
		}
	}

	void TearDown() override
	{
		stop(game_);
		for (int p = 0; p < PLAYER_COUNT; p++) {
			text_[p].reset();   /* its font lives on the connection */
			if (!display_[p])
				continue;
			// The next test must not find this game's window.
			EXPECT_TRUE(wait_for([&] { return find_window(display_[p], WINDOW_TITLE) == 0; }))
			    << "the window on player " << p << "'s display outlives its program";
			XCloseDisplay(display_[p]);
		}
	}

	// Starts the duel with the players' names (none: both take the login name) and waits
	// for both players' first pieces.
	void start(bool named)
	{
		for (int p = 0; p < PLAYER_COUNT; p++) {
			ASSERT_FALSE(servers[p]->name().empty()) << "no X server for player " << p;
			display_[p] = servers[p]->connect();
			ASSERT_NE(nullptr, display_[p]);
		}
		std::vector<std::string> args = { "-m1", servers[0]->name(), "-m2", servers[1]->name() };
		if (named)
			args.insert(args.end(), { "-p1", NAMES[0], "-p2", NAMES[1] });
		game_ = spawn_seeded(program_under_test(), args, servers[0]->name(), SEED);
		for (int p = 0; p < PLAYER_COUNT; p++) {
			window_[p] = wait_for_window(display_[p], WINDOW_TITLE);
			ASSERT_NE(0u, window_[p]) << "no window on player " << p << "'s display";
			colors_[p] = game_colors(display_[p]);
			text_[p].reset(new GameText(display_[p]));
			ASSERT_TRUE(text_[p]->ok()) << "the game's font on player " << p << "'s display";
		}
		for (int p = 0; p < PLAYER_COUNT; p++)
			ASSERT_TRUE(wait_piece(p, kinds_[p], 0, SPAWN_COL))
			    << "player " << p << "'s first piece, kind " << kinds_[p];
	}

	Screens shots() const
	{
		Screens s;
		for (int p = 0; p < PLAYER_COUNT; p++)
			s.window[p].reset(new Image(display_[p], window_[p]));
		return s;
	}

	// Polls both windows until `done` holds for their pixels.
	bool wait_screens(const std::function<bool(const Screens &)> &done,
	                  int timeout_ms = 10000) const
	{
		return wait_for([&] {
			Screens s = shots();
			return s.window[0]->ok() && s.window[1]->ok() && done(s);
		}, timeout_ms);
	}

	// The row at which player p's piece shows at `col` in his window and, mirrored, in
	// the opponent's, or -1.
	int piece_row(const Screens &s, int p, int kind, int rotation, int col,
	              int last_row) const
	{
		int q = opponent(p);
		int row = piece_row_shown(s[p], colors_[p], kind, rotation, col, last_row, false);
		if (row < 0 || !piece_shown(s[q], colors_[q], kind, rotation, col, row, true))
			return -1;
		return row;
	}

	bool wait_piece(int p, int kind, int rotation, int col, int last_row = SPAWN_ROWS) const
	{
		return wait_screens([&](const Screens &s) {
			return piece_row(s, p, kind, rotation, col, last_row) >= 0;
		});
	}

	// "" when every cell of player p's field from `top_row` to `floor_row` shows `field`,
	// whose row r stands at field row r + shift, in his window and mirrored in the other.
	std::string field_fault(const Screens &s, int p, const Field &field, int shift,
	                        int floor_row, int top_row) const
	{
		for (int mirrored = 0; mirrored < 2; mirrored++) {
			int window = mirrored ? opponent(p) : p;
			for (int row = top_row; row <= floor_row; row++)
				for (int col = 0; col < BOARD_COLS; col++) {
					int model_row = row - shift;
					int32_t want = model_row >= 0 && model_row <= START_FLOOR_ROW
					                   ? field[col][model_row]
					                   : CELL_EMPTY;
					int got = shown_code(s[window], colors_[window], col, row, mirrored);
					if (got != want)
						return "player " + std::to_string(p) + "'s cell (" + std::to_string(col) +
						       ", " + std::to_string(row) + (mirrored ? ") mirrored" : ")") +
						       " shows " + std::to_string(got) + ", wants " + std::to_string(want);
				}
		}
		return "";
	}

	// Hard-drops player p's piece of `kind` from its spawn and waits until it has landed
	// in `field` and the next piece, of kind `next`, stands at the spawn.
	void drop_at_spawn(int p, int kind, int next, Field &field)
	{
		Piece piece = spawned(kind);
		ASSERT_TRUE(fits(field, piece));
		piece.row = landing_row(field, piece);
		land(field, piece);
		press_key(display_[p], window_[p], XK_space);
		std::string fault;
		bool landed = wait_screens([&](const Screens &s) {
			fault = field_fault(s, p, field, 0, START_FLOOR_ROW, piece.row);
			return fault.empty();
		});
		ASSERT_TRUE(landed) << "player " << p << "'s hard drop: " << fault;
		ASSERT_TRUE(wait_piece(p, next, 0, SPAWN_COL)) << "player " << p << "'s next piece";
	}

	// Turns and shifts player p's piece from the spawn into the placement, and hard-drops it.
	void place(int p, const Piece &at)
	{
		for (int i = 0; i < at.rotation; i++)
			press_key(display_[p], window_[p], XK_w);
		for (int col = SPAWN_COL; col != at.col; col += col < at.col ? 1 : -1)
			press_key(display_[p], window_[p], col < at.col ? XK_Right : XK_Left);
		press_key(display_[p], window_[p], XK_x);
	}

	bool game_button_shows(const Screens &s, int p, const char *label) const
	{
		return shows_game_button(*text_[p], s[p], colors_[p], label);
	}

	bool result_shows(const Screens &s, int p, const char *label) const
	{
		return text_[p]->button_shows(s[p], RESULT_Y, label, colors_[p].light,
		                              colors_[p].background);
	}

	// Player p's score in his own box and in the opponent box of the other window.
	bool score_shows(const Screens &s, int p, int score) const
	{
		int q = opponent(p);
		return shows_score(*text_[p], s[p], colors_[p], score) &&
		       shows_score(*text_[q], s[q], colors_[q], score, OPPONENT_DY);
	}

	// Clicks the game button in player p's window and waits for its pressed look, which
	// the other window must not show.
	void press_game_button(int p)
	{
		int q = opponent(p);
		bool other_raised = false;
		click(display_[p], window_[p], BUTTON_CLICK_X, GAME_BUTTON_CLICK_Y);
		bool pressed = wait_screens([&](const Screens &s) {
			if (!frame_sunk(s[p], colors_[p], BUTTON_X, GAME_BUTTON_Y, BUTTON_WIDTH, BUTTON_HEIGHT))
				return false;
			other_raised = frame_raised(s[q], colors_[q], BUTTON_X, GAME_BUTTON_Y, BUTTON_WIDTH,
			                            BUTTON_HEIGHT);
			return true;
		});
		EXPECT_TRUE(pressed) << "no pressed look in the clicked window " << p;
		EXPECT_TRUE(other_raised) << "window " << q << " shows the pressed look too";
	}

	// Player 0 hard-drops until his next piece has no room; waits until both game buttons
	// read "New", which the end of a game draws last.
	void lose_by_filling_up()
	{
		for (int i = 0; i < FILL_DROPS; i++)
			press_key(display_[0], window_[0], XK_x);
		bool over = wait_screens([&](const Screens &s) {
			return game_button_shows(s, 0, "New") && game_button_shows(s, 1, "New");
		}, GAME_END_MS);
		ASSERT_TRUE(over) << "player 0 filled up his field, and the game did not end";
	}

	void quit()
	{
		click(display_[0], window_[0], BUTTON_CLICK_X, QUIT_CLICK_Y);
		EXPECT_EQ(0, finish(game_)) << game_.err;
	}

	Child game_;
	Display *display_[PLAYER_COUNT] = {};
	Window window_[PLAYER_COUNT] = {};
	GameColors colors_[PLAYER_COUNT] = {};
	std::unique_ptr<GameText> text_[PLAYER_COUNT];
	const std::vector<int> kinds_ = piece_order(SEED, DEALT);
};

XServer *Duel::servers[PLAYER_COUNT];

TEST_F(Duel, EachPieceShowsOnTopAndMirroredBelowTheBorderBar)
{
	// Starting waits for each piece at the spawn and for its mirror copy.
	ASSERT_NO_FATAL_FAILURE(start(true));
	for (int p = 0; p < PLAYER_COUNT; p++) {
		XWindowAttributes at;
		ASSERT_TRUE(XGetWindowAttributes(display_[p], window_[p], &at));
		EXPECT_EQ(WINDOW_WIDTH, at.width) << "window " << p;
		EXPECT_EQ(DUEL_HEIGHT, at.height) << "window " << p;
	}
	std::string fault[PLAYER_COUNT];
	bool bars = wait_screens([&](const Screens &s) {
		for (int p = 0; p < PLAYER_COUNT; p++)
			fault[p] = bar_fault(s[p], colors_[p], START_FLOOR_ROW);
		return fault[0].empty() && fault[1].empty();
	});
	EXPECT_TRUE(bars) << "window 0: " << fault[0] << "; window 1: " << fault[1];
}

TEST_F(Duel, KeysOnOneDisplayMoveOnlyThatPlayersPiece)
{
	ASSERT_NO_FATAL_FAILURE(start(true));
	static const struct {
		const char *name;
		int player;
		unsigned long keysym;
		int rotation[PLAYER_COUNT], col[PLAYER_COUNT];   /* both pieces after the key */
	} cases[] = {
		{ "left on display 0", 0, XK_Left, { 0, 0 }, { SPAWN_COL - 1, SPAWN_COL } },
		{ "turn on display 1", 1, XK_w, { 0, 1 }, { SPAWN_COL - 1, SPAWN_COL } },
		{ "right on display 1", 1, XK_Right, { 0, 1 }, { SPAWN_COL - 1, SPAWN_COL + 1 } },
	};
	for (const auto &c : cases) {
		press_key(display_[c.player], window_[c.player], c.keysym);
		int moved = c.player, other = opponent(c.player);
		ASSERT_TRUE(wait_piece(moved, kinds_[moved], c.rotation[moved], c.col[moved],
		                       START_FLOOR_ROW))
		    << c.name << ": player " << moved << "'s piece and its mirror";
		EXPECT_TRUE(wait_piece(other, kinds_[other], c.rotation[other], c.col[other],
		                       START_FLOOR_ROW))
		    << c.name << ": player " << other << "'s piece stays";
	}
}

TEST_F(Duel, GameButtonInEitherWindowPausesAndContinuesBoth)
{
	ASSERT_NO_FATAL_FAILURE(start(true));
	Field field[PLAYER_COUNT] = { empty_field(), empty_field() };
	ASSERT_NO_FATAL_FAILURE(drop_at_spawn(1, kinds_[1], kinds_[2], field[1]));
	ASSERT_NO_FATAL_FAILURE(drop_at_spawn(0, kinds_[0], kinds_[3], field[0]));
	// Gravity stands still while paused; continuing must show the pieces where they stopped,
	// give or take the one step that may come in the moments around the two clicks.
	const int falling[PLAYER_COUNT] = { kinds_[3], kinds_[2] };
	int row_before[PLAYER_COUNT];
	ASSERT_TRUE(wait_screens([&](const Screens &s) {
		for (int p = 0; p < PLAYER_COUNT; p++)
			row_before[p] = piece_row(s, p, falling[p], 0, SPAWN_COL, SPAWN_ROWS);
		return row_before[0] >= 0 && row_before[1] >= 0;
	}));

	press_game_button(1);
	int shown[PLAYER_COUNT] = {};
	bool paused = wait_screens([&](const Screens &s) {
		for (int p = 0; p < PLAYER_COUNT; p++)
			shown[p] = piece_pixels_in_well(s[p], colors_[p]);
		return shown[0] == 0 && shown[1] == 0 && game_button_shows(s, 0, "Continue") &&
		       game_button_shows(s, 1, "Continue");
	});
	EXPECT_TRUE(paused) << "piece pixels left in window 0: " << shown[0] << ", in window 1: "
	                    << shown[1];

	press_game_button(0);
	std::string fault;
	bool continued = wait_screens([&](const Screens &s) {
		fault = field_fault(s, 0, field[0], 0, START_FLOOR_ROW, CHECKED_TOP_ROW) +
		        field_fault(s, 1, field[1], 0, START_FLOOR_ROW, CHECKED_TOP_ROW);
		return fault.empty() && game_button_shows(s, 0, "Pause") &&
		       game_button_shows(s, 1, "Pause") &&
		       piece_row(s, 0, falling[0], 0, SPAWN_COL, row_before[0] + 1) >= 0 &&
		       piece_row(s, 1, falling[1], 0, SPAWN_COL, row_before[1] + 1) >= 0;
	});
	EXPECT_TRUE(continued) << fault << " (pieces last seen at rows " << row_before[0] << " and "
	                       << row_before[1] << ")";
}

TEST_F(Duel, ClearedRowMovesTheBorderTowardTheOpponent)
{
	ASSERT_NO_FATAL_FAILURE(start(true));
	// Player 1 lands first, so that player 0 is dealt every kind from the fourth on.
	Field field[PLAYER_COUNT] = { empty_field(), empty_field() };
	ASSERT_NO_FATAL_FAILURE(drop_at_spawn(1, kinds_[1], kinds_[2], field[1]));
	std::vector<int> dealt_to_0 = { kinds_[0] };
	dealt_to_0.insert(dealt_to_0.end(), kinds_.begin() + 3, kinds_.end());
	std::vector<Piece> plan = plan_row_clear(field[0], dealt_to_0, PLAN_TOP_ROW);
	ASSERT_FALSE(plan.empty()) << "no plan fills a row with the kinds of seed " << SEED;

	int cleared = 0;
	for (size_t i = 0; i < plan.size() && cleared == 0; i++) {
		const Piece &at = plan[i];
		ASSERT_TRUE(wait_piece(0, at.kind, 0, SPAWN_COL)) << "piece " << i << ", kind " << at.kind;
		place(0, at);
		cleared = land(field[0], at);
		if (cleared > 0)
			break;
		std::string fault;
		bool landed = wait_screens([&](const Screens &s) {
			fault = field_fault(s, 0, field[0], 0, START_FLOOR_ROW, at.row);
			return fault.empty();
		});
		ASSERT_TRUE(landed) << "piece " << i << ": " << fault;
	}
	ASSERT_GT(cleared, 0);

	// Player 0's field gains the cleared rows at its bottom; player 1's loses them at its
	// top, and his blocks rise with his floor.
	int floor_row[PLAYER_COUNT] = { START_FLOOR_ROW + cleared, START_FLOOR_ROW - cleared };
	int shift[PLAYER_COUNT] = { cleared, -cleared };
	std::string fault;
	bool moved = wait_screens([&](const Screens &s) {
		fault = "";
		for (int p = 0; p < PLAYER_COUNT; p++) {
			std::string bar = bar_fault(s[p], colors_[p], floor_row[p]);
			if (!bar.empty())
				fault += "window " + std::to_string(p) + ": " + bar + "; ";
			if (bar_fault(s[p], colors_[p], START_FLOOR_ROW).empty())
				fault += "window " + std::to_string(p) + " keeps the old bar; ";
			fault += field_fault(s, p, field[p], shift[p], floor_row[p],
			                     CHECKED_TOP_ROW + shift[p]);
		}
		return fault.empty();
	});
	EXPECT_TRUE(moved) << fault;
}

TEST_F(Duel, LostDuelLabelsBothWindowsAndStoresTheResult)
{
	std::string log_before = prepare_games_dir();
	ASSERT_NO_FATAL_FAILURE(start(true));
	Field field = empty_field();
	// The winner scores too.
	ASSERT_NO_FATAL_FAILURE(drop_at_spawn(1, kinds_[1], kinds_[2], field));
	ASSERT_NO_FATAL_FAILURE(lose_by_filling_up());

	Screens s = shots();
	ASSERT_TRUE(s.window[0]->ok() && s.window[1]->ok());
	EXPECT_TRUE(result_shows(s, 0, "LOOSER")) << "player 0 filled up his field";
	EXPECT_TRUE(result_shows(s, 1, "WINNER"));

	std::string line;
	ASSERT_TRUE(one_new_line(log_before, &line));
	int score[PLAYER_COUNT], end = 0;
	ASSERT_EQ(2, sscanf(line.c_str(), "bert - %d v anna - %d %n", &score[1], &score[0], &end))
	    << "the winner first: " << line;
	EXPECT_EQ(log_time() + "\n", line.substr(end));
	for (int p = 0; p < PLAYER_COUNT; p++)
		EXPECT_TRUE(score_shows(s, p, score[p])) << "player " << p << "'s logged score " << score[p];

	// Both scores beat every stored one: each player heads his table, the last entry drops.
	std::string want = "bert " + std::to_string(score[1]) + "\n";
	for (int i = 0; i < TABLE_ENTRIES - 1; i++)
		want += prefilled_entry(0, i);
	want += "anna " + std::to_string(score[0]) + "\n";
	for (int i = 0; i < TABLE_ENTRIES - 1; i++)
		want += prefilled_entry(1, i);
	EXPECT_EQ(want, read_file(DUEL_HISCORE_FILE));
	EXPECT_TRUE(exists(UNLOCK_FILE)) << "the lock is released";
	EXPECT_FALSE(exists(LOCK_FILE));

	quit();
	EXPECT_EQ("", game_.err);
}

TEST_F(Duel, EqualNamesLabelDebugAndLeaveHiscoresAlone)
{
	std::string log_before = prepare_games_dir();
	std::string hiscores = read_file(DUEL_HISCORE_FILE);
	ASSERT_NO_FATAL_FAILURE(start(false));
	ASSERT_NO_FATAL_FAILURE(lose_by_filling_up());

	bool labelled = wait_screens([&](const Screens &s) {
		return result_shows(s, 0, "DEBUG") && result_shows(s, 1, "DEBUG");
	});
	EXPECT_TRUE(labelled) << "both result frames read DEBUG";
	EXPECT_EQ(hiscores, read_file(DUEL_HISCORE_FILE));

	std::string line;
	ASSERT_TRUE(one_new_line(log_before, &line));
	struct passwd *pw = getpwuid(getuid());
	std::string head = stored_name(pw && pw->pw_name ? pw->pw_name : FALLBACK_NAME) + " - ";
	EXPECT_EQ(0u, line.find(head)) << line;
	EXPECT_NE(std::string::npos, line.find(" v " + head)) << line;
	EXPECT_EQ(line.size() - log_time().size() - 1, line.rfind(log_time())) << line;

	quit();
}

}  // namespace
