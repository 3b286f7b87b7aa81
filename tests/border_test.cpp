// The duel's border on constructed boards: every row p clears sinks his field by one and
// raises his opponent q's, and q loses when the border meets his blocks or his floor, or
// when his piece no longer fits. Drawing and the end of the game are recorded by the fake.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "rules/controls.h"
#include "rules/drop.h"
#include "rules/game.h"
#include "tests/support/fake_drawing.h"
#include "tests/support/rules_boards.h"

namespace {

const char FLOOR_TEXT[] = "1111111111";
const char EMPTY_TEXT[] = "..........";

class Border : public ::testing::Test {
protected:
	void SetUp() override { start_rules(1); }
};

// p's field, at his present floor_row F, made so that his next step clears n rows:
// the standing straight over rows F-3..F in the last column, the lowest n of them full.
// REQUIRES: F >= 3.
void prepare_clear(int p, int n)
{
	int f = players[p].floor_row;
	lay_field(p, f);
	for (int i = 0; i < 4; i++)
		set_row(p, f - i, i < n ? "555555555." : "........5.");
	place_piece(p, STRAIGHT, UPRIGHT, LAST_COL, f - 3);
}

std::string trace_of_clear(int p, int n)
{
	int q = opponent(p);
	return "score(" + std::to_string(p) + ") piece(" + std::to_string(q) + ") changes(" +
	       std::to_string(p) + "," + std::to_string(n) + ") changes(" + std::to_string(q) + "," +
	       std::to_string(-n) + ") piece(" + std::to_string(p) + ")";
}

TEST_F(Border, OneClearedRowSinksTheClearerAndRaisesTheOpponent)
{
	set_row(0, 18, "6.........");
	set_row(0, 19, "555555555.");
	place_piece(0, STRAIGHT, UPRIGHT, LAST_COL, 16);
	set_row(1, 17, "...4......");
	set_row(1, 18, "...4......");
	set_row(1, 19, "222222222.");
	place_piece(1, SQUARE, 0, 0, 6);

	EXPECT_EQ(0, drop_step(0));

	EXPECT_EQ(START_FLOOR_ROW + 1, players[0].floor_row);
	EXPECT_EQ(START_FLOOR_ROW - 1, players[1].floor_row);
	EXPECT_EQ(1, lines_cleared);
	EXPECT_EQ(START_FALL_DELAY - 1, fall_delay);

	// Player 0: row 19 cleared, then everything one row down and an empty row on top.
	static const char *const sunk[] = {
		/* 17 */ EMPTY_TEXT, ".........0", ".........0", "6........0", FLOOR_TEXT,
	};
	for (int r = 0; r < 17; r++)
		EXPECT_EQ(EMPTY_TEXT, row_text(0, r)) << "player 0 row " << r;
	for (int i = 0; i < 5; i++)
		EXPECT_EQ(sunk[i], row_text(0, 17 + i)) << "player 0 row " << 17 + i;

	// Player 1: everything one row up; the row he gave up keeps its old floor.
	static const char *const risen[] = {
		/* 15 */ EMPTY_TEXT, "...4......", "...4......", "222222222.", FLOOR_TEXT, FLOOR_TEXT,
		"0000000000",
	};
	for (int r = 0; r < 15; r++)
		EXPECT_EQ(EMPTY_TEXT, row_text(1, r)) << "player 1 row " << r;
	for (int i = 0; i < 7; i++)
		EXPECT_EQ(risen[i], row_text(1, 15 + i)) << "player 1 row " << 15 + i;

	EXPECT_EQ(5, players[1].row);
	EXPECT_EQ(5, players[1].drawn_row);
	EXPECT_EQ(trace_of_clear(0, 1), drawing_trace());
	EXPECT_EQ(5, calls_of(Drawn::PIECE).at(0).row);

	// Both snapshots were taken before anything moved, the field rows only.
	EXPECT_EQ("5555555550", row_text(board_snapshot[0], 19));
	EXPECT_EQ("222222222.", row_text(board_snapshot[1], 19));
	EXPECT_EQ("...4......", row_text(board_snapshot[1], 17));
	EXPECT_EQ("0000000000", row_text(board_snapshot[1], 20));
}

TEST_F(Border, SinkingOpensEmptyRowsAboveTheClearersBlocks)
{
	for (int n = 1; n <= MAX_CLEARED; n++) {
		start_rules(1);
		std::string f = "n " + std::to_string(n);
		prepare_clear(0, n);
		for (int r = 0; r < START_FLOOR_ROW - 3; r++)   /* up to the top of his field */
			set_row(0, r, "2.........");
		place_piece(1, SQUARE, 0, SPAWN_COL, 10);

		EXPECT_EQ(0, drop_step(0)) << f;

		// n rows opened by the clearing, n more by the sinking.
		for (int r = 0; r < 2 * n; r++)
			EXPECT_EQ(EMPTY_TEXT, row_text(0, r)) << f << " row " << r;
		EXPECT_EQ("2.........", row_text(0, 2 * n)) << f;
		EXPECT_EQ(FLOOR_TEXT, row_text(0, players[0].floor_row + 1)) << f;
	}
}

TEST_F(Border, OpponentPieceRisesWithHisFieldButNotAboveRowZero)
{
	static const struct {
		int row, n, risen;
	} cases[] = {
		{ 6, 1, 5 }, { 0, 1, 0 }, { 1, 2, 0 }, { 2, 2, 0 }, { 3, 2, 1 }, { 10, 4, 6 },
	};
	for (const auto &t : cases) {
		start_rules(1);
		std::string f = "row " + std::to_string(t.row) + " n " + std::to_string(t.n);
		prepare_clear(0, t.n);
		place_piece(1, SQUARE, 0, 0, t.row);

		EXPECT_EQ(0, drop_step(0)) << f;

		EXPECT_EQ(t.risen, players[1].row) << f;
		EXPECT_EQ(trace_of_clear(0, t.n), drawing_trace()) << f;
		EXPECT_EQ(t.risen, calls_of(Drawn::PIECE).at(0).row) << f;
		EXPECT_EQ(0, game_over) << f;
	}
}

TEST_F(Border, PieceAtRowZeroMetByRisenBlocksLosesOnTheRecheck)
{
	for (int r = 2; r <= START_FLOOR_ROW; r++)
		set_row(1, r, "3.........");
	place_piece(1, SQUARE, 0, 0, 0);
	prepare_clear(0, 1);

	EXPECT_EQ(0, drop_step(0));

	EXPECT_EQ(0, players[1].row);
	EXPECT_EQ("score(0) end_game(1)", drawing_trace());
	EXPECT_EQ(1, game_over);
	EXPECT_EQ(0, winner_index);
	EXPECT_EQ(1, loser_index);
	// The boards stay shifted; player 0 gets no new piece.
	EXPECT_EQ("3.........", row_text(1, 1));
	EXPECT_EQ(FLOOR_TEXT, row_text(1, START_FLOOR_ROW));
	EXPECT_EQ(FLOOR_TEXT, row_text(0, SINGLE_FLOOR + 1));
	EXPECT_EQ(STRAIGHT, players[0].kind);
	EXPECT_EQ(START_FLOOR_ROW - 3, players[0].row);
}

TEST_F(Border, BlockInTheRowsTakenFromTheOpponentCrushesHim)
{
	const int n = 2;
	for (int r = n - 1; r <= START_FLOOR_ROW; r++)
		set_row(1, r, "3.........");
	place_piece(1, SQUARE, 0, SPAWN_COL, 0);
	prepare_clear(0, n);
	Board opponent_before;
	memcpy(opponent_before, boards[1], sizeof opponent_before);

	EXPECT_EQ(0, drop_step(0));

	EXPECT_EQ("score(0) end_game(1)", drawing_trace());
	EXPECT_EQ(1, loser_index);
	EXPECT_EQ(0, memcmp(opponent_before, boards[1], sizeof opponent_before));
	// Player 0's rows were cleared but not sunk: his floor row is where it was.
	EXPECT_EQ(FLOOR_TEXT, row_text(0, SINGLE_FLOOR));
	EXPECT_EQ("0000000000", row_text(0, SINGLE_FLOOR + 1));
	EXPECT_EQ(START_FLOOR_ROW + n, players[0].floor_row);
	EXPECT_EQ(START_FLOOR_ROW - n, players[1].floor_row);
}

// Player 1's field of q_floor + 1 rows, all empty; player 0's the rest of the 41 rows,
// ready to clear n rows. Rows below player 1's floor row hold no block.
void duel_edge(int q_floor, int n)
{
	start_rules(1);
	lay_field(1, q_floor);
	for (int r = q_floor + 2; r < BOARD_ROWS; r++)
		set_row(1, r, EMPTY_TEXT);
	place_piece(1, STRAIGHT, FLAT, 0, 0);
	lay_field(0, FLOOR_SUM - q_floor);
	prepare_clear(0, n);
}

TEST_F(Border, HardDropThatCrushesTheOpponentStopsAtTheLanding)
{
	const int fallen = 5;
	for (int r = 0; r <= START_FLOOR_ROW; r++)
		set_row(1, r, "3.........");
	place_piece(1, SQUARE, 0, SPAWN_COL, 0);
	prepare_clear(0, 1);
	place_piece(0, STRAIGHT, UPRIGHT, LAST_COL, START_FLOOR_ROW - 3 - fallen);

	hard_drop(0);

	EXPECT_EQ(1, game_over);
	EXPECT_EQ(1, loser_index);
	std::string moves;
	for (int i = 0; i < fallen; i++)
		moves += "piece(0) ";
	EXPECT_EQ(moves + "score(0) end_game(1) score(0)", drawing_trace());
	EXPECT_EQ(60, players[0].score) << "the landing's score, without a bonus";
}

TEST_F(Border, BorderReachingTheOpponentsFloorRowCrushesHim)
{
	static const struct {
		int q_floor, n;
		const char *why;
	} cases[] = {
		{ 0, 2, "his floor row is row n - 1" },
		{ 1, 3, "his floor row is row n - 1" },
		{ 2, 4, "his floor row is row n - 1" },
		{ 0, 3, "row n - 1 lies below his floor row" },
		{ 0, 4, "row n - 1 lies below his floor row" },
		{ 1, 4, "row n - 1 lies below his floor row" },
	};
	for (const auto &t : cases) {
		std::string f = "floor_row " + std::to_string(t.q_floor) + " n " + std::to_string(t.n) +
		                ": " + t.why;
		duel_edge(t.q_floor, t.n);
		int p_floor = players[0].floor_row;
		Board opponent_before, below_before;
		memcpy(opponent_before, boards[1], sizeof opponent_before);
		memcpy(below_before, boards[0], sizeof below_before);

		EXPECT_EQ(0, drop_step(0)) << f;

		EXPECT_EQ("score(0) end_game(1)", drawing_trace()) << f;
		EXPECT_EQ(1, loser_index) << f;
		EXPECT_EQ(0, memcmp(opponent_before, boards[1], sizeof opponent_before)) << f;
		// Player 0's field was cleared but not sunk: nothing from his floor row down moved.
		for (int r = p_floor + 1; r < BOARD_ROWS; r++)
			EXPECT_EQ(row_text(below_before, r), row_text(0, r)) << f << " row " << r;
		for (int r = 0; r < t.n; r++)
			EXPECT_EQ(EMPTY_TEXT, row_text(0, r)) << f << " row " << r;
		EXPECT_EQ(p_floor + t.n, players[0].floor_row) << f;
		EXPECT_EQ(t.q_floor - t.n, players[1].floor_row) << f;
	}
}

TEST_F(Border, OpponentLeftWithoutRowsLosesOnTheRecheck)
{
	for (int n = 1; n <= MAX_CLEARED; n++) {
		std::string f = "a field of exactly n = " + std::to_string(n) + " empty rows";
		duel_edge(n - 1, n);

		EXPECT_EQ(0, drop_step(0)) << f;

		EXPECT_EQ(-1, players[1].floor_row) << f;
		EXPECT_EQ(BOARD_ROWS - 2, players[0].floor_row) << f;
		EXPECT_EQ("score(0) end_game(1)", drawing_trace()) << f;
		EXPECT_EQ(1, loser_index) << f;
		EXPECT_EQ(FLOOR_TEXT, row_text(1, 0)) << f << ": his floor row rose to row 0";
		EXPECT_EQ(FLOOR_TEXT, row_text(0, BOARD_ROWS - 1)) << f << ": the last row of the board";
		for (int r = 0; r <= n; r++)
			EXPECT_EQ(EMPTY_TEXT, row_text(0, r)) << f << " row " << r;
	}
}

TEST_F(Border, LandingThatClearsNothingLeavesTheBorderAlone)
{
	set_row(1, 19, "22222.2222");
	place_piece(1, SQUARE, 0, 0, 6);
	place_piece(0, SQUARE, 0, 0, START_FLOOR_ROW - 1);
	Board opponent_before;
	memcpy(opponent_before, boards[1], sizeof opponent_before);

	EXPECT_EQ(0, drop_step(0));

	EXPECT_EQ("score(0) changes(0,0) piece(0)", drawing_trace());
	EXPECT_EQ(START_FLOOR_ROW, players[0].floor_row);
	EXPECT_EQ(START_FLOOR_ROW, players[1].floor_row);
	EXPECT_EQ(0, memcmp(opponent_before, boards[1], sizeof opponent_before));
	EXPECT_EQ(6, players[1].row);
	EXPECT_EQ(6, players[1].drawn_row);
	EXPECT_EQ("33........", row_text(0, START_FLOOR_ROW));
	EXPECT_EQ(FLOOR_TEXT, row_text(0, SINGLE_FLOOR));
	EXPECT_EQ(0, lines_cleared);
}

TEST_F(Border, BothPlayersMoveOneBorderAndShareTheSpeed)
{
	static const struct {
		int p, n;
	} clears[] = {
		{ 0, 1 }, { 1, 2 }, { 0, 4 }, { 1, 3 },   /* ten rows: fall_delay 30 */
	};
	int total = 0;
	for (const auto &c : clears) {
		int q = opponent(c.p);
		std::string f = "player " + std::to_string(c.p) + " clears " + std::to_string(c.n);
		prepare_clear(c.p, c.n);
		place_piece(q, SQUARE, 0, 0, 0);
		int p_floor = players[c.p].floor_row;
		forget_drawing();

		EXPECT_EQ(0, drop_step(c.p)) << f;

		total += c.n;
		EXPECT_EQ(0, game_over) << f;
		EXPECT_EQ(trace_of_clear(c.p, c.n), drawing_trace()) << f;
		EXPECT_EQ(FLOOR_SUM, players[0].floor_row + players[1].floor_row) << f;
		EXPECT_EQ(p_floor + c.n, players[c.p].floor_row) << f;
		for (int pl = 0; pl < PLAYER_COUNT; pl++)
			EXPECT_EQ(FLOOR_TEXT, row_text(pl, players[pl].floor_row + 1)) << f << ": floor row of " << pl;
		EXPECT_EQ(total, lines_cleared) << f;
		EXPECT_EQ(START_FALL_DELAY - total, fall_delay) << f;
	}
}

}  // namespace
