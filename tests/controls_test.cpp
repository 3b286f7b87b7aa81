// The keys of single play on constructed boards: the key map, the walls, turning, and the
// soft and hard drops with the hard-drop bonus. Drawing is recorded by the fake.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <string>

#include "rules/controls.h"
#include "rules/game.h"
#include "tests/support/fake_drawing.h"
#include "tests/support/rules_boards.h"

namespace {

class Controls : public ::testing::Test {
protected:
	void SetUp() override { start_rules(0); }
};

std::string repeat(const std::string &word, int times)
{
	std::string s;
	for (int i = 0; i < times; i++)
		s += word + " ";
	return s;
}

TEST_F(Controls, ShiftLeftAtColumnZeroDrawsNothing)
{
	for (int k = 0; k < KIND_COUNT; k++)
		for (int r = 0; r < ROTATION_COUNT; r++) {
			place_piece(0, k, r, 0, 5);
			forget_drawing();
			shift_piece(0, -1);
			EXPECT_EQ(0, players[0].col) << "kind " << k << " rotation " << r;
			EXPECT_EQ("", drawing_trace()) << "kind " << k << " rotation " << r;
		}
}

TEST_F(Controls, ShiftRightStopsAtWall)
{
	static const struct {
		int kind, rotation, last_col;
	} cases[] = {
		{ STRAIGHT, UPRIGHT, LAST_COL },       /* one column wide */
		{ STRAIGHT, FLAT, LAST_COL - 3 },      /* four columns wide */
		{ SQUARE, 0, LAST_COL - 1 },
	};
	for (const auto &t : cases) {
		place_piece(0, t.kind, t.rotation, 0, 5);
		forget_drawing();
		for (int i = 0; i < BOARD_COLS + 2; i++)
			shift_piece(0, +1);
		EXPECT_EQ(t.last_col, players[0].col) << "kind " << t.kind << " rotation " << t.rotation;
		EXPECT_EQ(size_t(t.last_col), calls_of(Drawn::PIECE).size())
			<< "kind " << t.kind << " rotation " << t.rotation << ": a draw per column moved, none at the wall";
	}
}

TEST_F(Controls, ShiftIntoSettledBlockRedrawsInPlace)
{
	place_piece(0, SQUARE, 0, SPAWN_COL, 10);
	boards[0][SPAWN_COL + 2][11] = 2;
	boards[0][SPAWN_COL - 1][10] = 2;

	shift_piece(0, +1);
	shift_piece(0, -1);

	EXPECT_EQ(SPAWN_COL, players[0].col);
	EXPECT_EQ("piece(0) piece(0)", drawing_trace());
}

TEST_F(Controls, TurnAtRightWallIsRefusedWithoutKick)
{
	for (int step : { +1, -1 }) {
		place_piece(0, STRAIGHT, UPRIGHT, LAST_COL - 1, 5);   /* lying flat needs 4 columns */
		forget_drawing();
		rotate_piece(0, step);
		EXPECT_EQ(UPRIGHT, players[0].rotation) << "step " << step;
		EXPECT_EQ(LAST_COL - 1, players[0].col) << "step " << step;
		EXPECT_EQ("", drawing_trace()) << "step " << step;
	}
}

TEST_F(Controls, TurnIntoSettledBlockIsRefused)
{
	place_piece(0, STRAIGHT, FLAT, SPAWN_COL, 5);
	boards[0][SPAWN_COL][8] = 2;   /* the lowest cell of the standing piece */

	rotate_piece(0, +1);

	EXPECT_EQ(FLAT, players[0].rotation);
	EXPECT_EQ("", drawing_trace());
}

TEST_F(Controls, RotationWrapsAround)
{
	place_piece(0, 4, 3, SPAWN_COL, 5);
	rotate_piece(0, +1);
	EXPECT_EQ(0, players[0].rotation);
	rotate_piece(0, -1);
	EXPECT_EQ(3, players[0].rotation);
	EXPECT_EQ(3, players[0].drawn_rotation);
	EXPECT_EQ("piece(0) piece(0)", drawing_trace());
}

TEST_F(Controls, SwappedRotateSenseSwapsTheTurnKeysOfThatPlayerOnly)
{
	start_rules(1);
	players[0].rotate_sense = -1;
	static const struct {
		int player;
		KeySym key;
		int rotation;   /* from rotation 1 */
	} cases[] = {
		{ 0, XK_c, 0 }, { 0, XK_Up, 0 }, { 0, XK_v, 2 },
		{ 1, XK_c, 2 }, { 1, XK_v, 0 },
	};
	for (const auto &t : cases) {
		place_piece(t.player, 4, 1, SPAWN_COL, 5);
		handle_key(t.player, t.key);
		EXPECT_EQ(t.rotation, players[t.player].rotation) << "player " << t.player << " key " << t.key;
	}
}

enum Move { LEFT, RIGHT, TURN_FORWARD, TURN_BACK, SOFT, HARD };

TEST_F(Controls, EveryMappedKeyPerformsItsMove)
{
	static const struct {
		KeySym key;
		Move move;
	} cases[] = {
		/* key          move */
		{ XK_a,         LEFT },
		{ XK_b,         LEFT },
		{ XK_h,         LEFT },
		{ XK_Left,      LEFT },
		{ XK_d,         RIGHT },
		{ XK_l,         RIGHT },
		{ XK_m,         RIGHT },
		{ XK_Right,     RIGHT },
		{ XK_c,         TURN_FORWARD },
		{ XK_k,         TURN_FORWARD },
		{ XK_w,         TURN_FORWARD },
		{ XK_Up,        TURN_FORWARD },
		{ XK_v,         TURN_BACK },
		{ XK_j,         SOFT },
		{ XK_n,         SOFT },
		{ XK_s,         SOFT },
		{ XK_Down,      SOFT },
		{ XK_x,         HARD },
		{ XK_space,     HARD },
	};
	const int row = 5;
	for (const auto &t : cases) {
		start_rules(0);
		place_piece(0, 4, 0, SPAWN_COL, row);
		const Player &pl = players[0];
		std::string f = "keysym " + std::to_string(t.key);

		handle_key(0, t.key);

		switch (t.move) {
		case LEFT:
		case RIGHT:
			EXPECT_EQ(SPAWN_COL + (t.move == LEFT ? -1 : 1), pl.col) << f;
			EXPECT_EQ(row, pl.row) << f;
			EXPECT_EQ(0, pl.rotation) << f;
			EXPECT_EQ("piece(0)", drawing_trace()) << f;
			break;
		case TURN_FORWARD:
		case TURN_BACK:
			EXPECT_EQ(t.move == TURN_FORWARD ? 1 : 3, pl.rotation) << f;
			EXPECT_EQ(SPAWN_COL, pl.col) << f;
			EXPECT_EQ("piece(0)", drawing_trace()) << f;
			break;
		case SOFT:
			EXPECT_EQ(row + 1, pl.row) << f;
			EXPECT_EQ(SPAWN_COL, pl.col) << f;
			EXPECT_EQ("piece(0)", drawing_trace()) << f;
			break;
		case HARD:
			// Two rows tall, it falls to row 18 and lands: 14 steps; the landing
			// scores 10 and the bonus is 14 * 5 / 3.
			EXPECT_EQ(SPAWN_ROW, pl.row) << f;
			EXPECT_EQ(10 + 23, pl.score) << f;
			EXPECT_EQ("....444...", row_text(0, START_FLOOR_ROW - 1)) << f;
			EXPECT_EQ(".....4....", row_text(0, START_FLOOR_ROW)) << f;
			break;
		}
	}
}

TEST_F(Controls, UnmappedKeysDoNothingAndDrawNothing)
{
	static const KeySym cases[] = {
		XK_A, XK_B, XK_X, XK_q, XK_z, XK_0, XK_Return, XK_Escape, XK_Shift_L,
		XK_KP_Left, XK_KP_Down, XK_KP_Space, NoSymbol,
	};
	for (KeySym key : cases) {
		place_piece(0, 4, 1, SPAWN_COL, 5);
		forget_drawing();
		handle_key(0, key);
		const Player &pl = players[0];
		EXPECT_EQ(SPAWN_COL, pl.col) << "keysym " << key;
		EXPECT_EQ(5, pl.row) << "keysym " << key;
		EXPECT_EQ(1, pl.rotation) << "keysym " << key;
		EXPECT_EQ(0, pl.score) << "keysym " << key;
		EXPECT_EQ("", drawing_trace()) << "keysym " << key;
	}
}

TEST_F(Controls, SoftDropOfRestingPieceLandsIt)
{
	place_piece(0, SQUARE, 0, 0, START_FLOOR_ROW - 1);
	players[0].fall_counter = 12;

	soft_drop(0);

	EXPECT_EQ("33........", row_text(0, START_FLOOR_ROW));
	EXPECT_EQ(SPAWN_ROW, players[0].row);
	EXPECT_EQ(0, players[0].fall_counter);
	EXPECT_EQ("score(0) changes(0,0) piece(0)", drawing_trace());
}

TEST_F(Controls, HardDropBonusGrowsWithTheDropAndShrinksWithSpeed)
{
	static const struct {
		int32_t delay;
		int fallen;        /* rows the square falls before it lands */
		int32_t landing;   /* what the landing scores at that delay */
		int32_t bonus;
	} cases[] = {
		{ START_FALL_DELAY, 10, 10, 18 },   /* 11 steps: 11 * 5 / 3 */
		{ 36, 1, 15, 0 },
		{ 36, 2, 15, 1 },
		{ 34, 1, 20, 0 },                   /* -2 / 3 truncates toward zero */
		{ 34, 2, 20, -1 },
	};
	const int32_t before = 100;
	for (const auto &t : cases) {
		start_rules(0);
		std::string f = "delay " + std::to_string(t.delay) + " fallen " + std::to_string(t.fallen);
		fall_delay = t.delay;
		players[0].score = before;
		place_piece(0, SQUARE, 0, SPAWN_COL, SINGLE_FLOOR - 2 - t.fallen);

		hard_drop(0);

		EXPECT_EQ(before + t.landing + t.bonus, players[0].score) << f;
		EXPECT_EQ(t.delay, fall_delay) << f;
		EXPECT_EQ(repeat("piece(0)", t.fallen) + "score(0) changes(0,0) piece(0) score(0)",
		          drawing_trace()) << f;
		EXPECT_EQ(before + t.landing + t.bonus, calls_of(Drawn::SCORE).back().score) << f;
	}
}

TEST_F(Controls, HardDropOfRestingPieceGivesNoBonus)
{
	players[0].score = 100;
	place_piece(0, SQUARE, 0, SPAWN_COL, START_FLOOR_ROW - 1);

	hard_drop(0);

	EXPECT_EQ(100 + 10, players[0].score);
	EXPECT_EQ("score(0) changes(0,0) piece(0)", drawing_trace());
}

TEST_F(Controls, HardDropThatEndsTheGameGivesNoBonusButShowsTheScore)
{
	// Every row holds a block; the square falls one row down the well at columns 4 and 5
	// and lands over the spawn position, which no shape then fits.
	set_row(0, 0, "......2...");
	set_row(0, 1, "......2222");
	set_row(0, 2, "......2222");
	for (int r = 3; r <= START_FLOOR_ROW; r++)
		set_row(0, r, ".222222222");
	place_piece(0, SQUARE, 0, SPAWN_COL, 0);

	hard_drop(0);

	EXPECT_EQ(1, game_over);
	EXPECT_EQ(10, players[0].score);
	EXPECT_EQ("....332222", row_text(0, 1));
	EXPECT_EQ("piece(0) score(0) changes(0,0) end_game(0) score(0)", drawing_trace());
}

}  // namespace
