// The piece tables, the fit test and the resets that start a game, without X.
#include <gtest/gtest.h>

#include <cstring>

#include "rules/game.h"

namespace {

// Board row of the floor in a fresh single-play field.
const int FLOOR = START_FLOOR_ROW + 1;

void fill_board(int p, int32_t code)
{
	for (int c = 0; c < BOARD_COLS; c++)
		for (int r = 0; r < BOARD_ROWS; r++)
			boards[p][c][r] = code;
}

TEST(PieceShapes, EveryShapeHasFourBlocksFillingItsExtents)
{
	for (int k = 0; k < KIND_COUNT; k++)
		for (int r = 0; r < ROTATION_COUNT; r++) {
			const PieceShape &s = piece_shapes[k][r];
			const PieceExtent &e = piece_extents[k][r];
			std::string where = "kind " + std::to_string(k) + " rotation " + std::to_string(r);
			int blocks = 0;
			for (int x = 0; x < GRID_SIZE; x++)
				for (int y = 0; y < GRID_SIZE; y++) {
					ASSERT_TRUE(s[x][y] == 0 || s[x][y] == 1) << where;
					blocks += s[x][y];
					if (x > e.max_col || y > e.max_row) {
						EXPECT_EQ(0, s[x][y]) << where << " block outside its extent";
					}
				}
			EXPECT_EQ(PIECE_BLOCKS, blocks) << where;
			// Every row and column of the bounding box holds a block.
			for (int y = 0; y <= e.max_row; y++) {
				int n = 0;
				for (int x = 0; x <= e.max_col; x++)
					n += s[x][y];
				EXPECT_GT(n, 0) << where << " empty row " << y;
			}
			for (int x = 0; x <= e.max_col; x++) {
				int n = 0;
				for (int y = 0; y <= e.max_row; y++)
					n += s[x][y];
				EXPECT_GT(n, 0) << where << " empty column " << x;
			}
		}
}

TEST(PieceShapes, EachRotationIsThePreviousTurnedCounterClockwise)
{
	for (int k = 0; k < KIND_COUNT; k++)
		for (int r = 0; r < ROTATION_COUNT; r++) {
			int next = (r + 1) % ROTATION_COUNT;
			const PieceShape &s = piece_shapes[k][r];
			int width = piece_extents[k][r].max_col + 1;
			int turned[GRID_SIZE][GRID_SIZE] = {};
			// On screen, with row 0 at the top, a quarter turn counter-clockwise takes
			// (x, y) of a box `width` wide to (y, width - 1 - x).
			for (int x = 0; x < GRID_SIZE; x++)
				for (int y = 0; y < GRID_SIZE; y++)
					if (s[x][y])
						turned[y][width - 1 - x] = 1;
			EXPECT_EQ(0, memcmp(turned, piece_shapes[k][next], sizeof turned))
				<< "kind " << k << " rotation " << next;
			EXPECT_EQ(piece_extents[k][r].max_row, piece_extents[k][next].max_col);
			EXPECT_EQ(piece_extents[k][r].max_col, piece_extents[k][next].max_row);
		}
}

TEST(PieceShapes, KindsRepeatTheirRotations)
{
	for (int k : { 0, 1, 2 })
		for (int r : { 0, 1 })
			EXPECT_EQ(0, memcmp(piece_shapes[k][r], piece_shapes[k][r + 2], sizeof(PieceShape)))
				<< "kind " << k;
	for (int r = 1; r < ROTATION_COUNT; r++)
		EXPECT_EQ(0, memcmp(piece_shapes[3][0], piece_shapes[3][r], sizeof(PieceShape)));
}

class PieceFits : public ::testing::Test {
protected:
	void SetUp() override
	{
		fill_board(0, 0);
		reset_board(0);
	}
};

TEST_F(PieceFits, TallStraightPieceStopsAtTheFloor)
{
	EXPECT_TRUE(piece_fits(0, 0, 1, 0, FLOOR - 4));    /* rows 16..19 */
	EXPECT_FALSE(piece_fits(0, 0, 1, 0, FLOOR - 3));   /* its lowest block on the floor */
}

TEST_F(PieceFits, EveryPieceFitsAnEmptyFieldAndNotOneRowLower)
{
	for (int k = 0; k < KIND_COUNT; k++)
		for (int r = 0; r < ROTATION_COUNT; r++) {
			const PieceExtent &e = piece_extents[k][r];
			int lowest = FLOOR - 1 - e.max_row;
			EXPECT_TRUE(piece_fits(0, k, r, BOARD_COLS - 1 - e.max_col, lowest));
			EXPECT_FALSE(piece_fits(0, k, r, 0, lowest + 1)) << k << " " << r;
		}
}

TEST_F(PieceFits, AnySettledCodeBlocksAndOnlyEmptyIsFree)
{
	// The square at column 4, row 10 covers cells (4..5, 10..11).
	for (int32_t code = 0; code < KIND_COUNT; code++) {
		boards[0][5][11] = code;
		EXPECT_FALSE(piece_fits(0, 3, 0, 4, 10)) << "code " << code;
	}
	boards[0][5][11] = CELL_EMPTY;
	EXPECT_TRUE(piece_fits(0, 3, 0, 4, 10));
	// A gap in the shape may hold a block: kind 1's empty corner at (2, 0).
	boards[0][6][10] = 0;
	EXPECT_TRUE(piece_fits(0, 1, 0, 4, 10));
}

TEST_F(PieceFits, GridBelowTheBoardCountsAsOccupied)
{
	// A 40-row duel field: its floor is the board's last row.
	for (int c = 0; c < BOARD_COLS; c++) {
		for (int r = 0; r < BOARD_ROWS - 1; r++)
			boards[0][c][r] = CELL_EMPTY;
		boards[0][c][BOARD_ROWS - 1] = CELL_FLOOR;
	}
	EXPECT_TRUE(piece_fits(0, 0, 1, 0, BOARD_ROWS - 5));
	EXPECT_FALSE(piece_fits(0, 0, 1, 0, BOARD_ROWS - 3));   /* reaches below row 40 */
}

TEST(ResetBoard, EmptiesTheFieldLaysTheFloorAndKeepsTheRowsBelow)
{
	fill_board(1, 5);
	reset_board(1);
	for (int c = 0; c < BOARD_COLS; c++) {
		for (int r = 0; r < FLOOR; r++)
			EXPECT_EQ(CELL_EMPTY, boards[1][c][r]);
		EXPECT_EQ(CELL_FLOOR, boards[1][c][FLOOR]);
		for (int r = FLOOR + 1; r < BOARD_ROWS; r++)
			EXPECT_EQ(5, boards[1][c][r]);
	}
}

TEST(ResetPlayer, StartsTheNextGameKeepingRotationAndLinesCleared)
{
	Player &pl = players[0];
	fill_board(0, 2);
	pl.score = 777;
	pl.rotation = pl.drawn_rotation = 2;
	pl.col = 7;
	pl.row = 12;
	pl.floor_row = 23;
	pl.fall_counter = 3;
	fall_delay = 17;
	lines_cleared = 55;

	reset_player(0);

	EXPECT_EQ(0, pl.score);
	EXPECT_EQ(2, pl.rotation);
	EXPECT_EQ(2, pl.drawn_rotation);
	EXPECT_EQ(SPAWN_COL, pl.col);
	EXPECT_EQ(SPAWN_ROW, pl.row);
	EXPECT_EQ(SPAWN_COL, pl.drawn_col);
	EXPECT_EQ(SPAWN_ROW, pl.drawn_row);
	EXPECT_GE(pl.kind, 0);
	EXPECT_LT(pl.kind, KIND_COUNT);
	EXPECT_EQ(START_FLOOR_ROW, pl.floor_row);
	EXPECT_EQ(START_FALL_DELAY, fall_delay);
	EXPECT_EQ(START_FALL_DELAY, pl.fall_counter);   /* the first tick makes a step */
	EXPECT_EQ(55, lines_cleared);
	EXPECT_EQ(CELL_EMPTY, boards[0][0][0]);
	EXPECT_EQ(CELL_FLOOR, boards[0][9][FLOOR]);
	EXPECT_EQ(2, boards[0][9][FLOOR + 1]);
}

TEST(StartPlayer, GivesTheFirstPieceWithAGravityCountOfZero)
{
	Player &pl = players[1];
	pl.fall_counter = 9;
	pl.rotation = 3;
	pl.score = 5;
	start_player(1);
	EXPECT_EQ(0, pl.fall_counter);
	EXPECT_EQ(0, pl.rotation);
	EXPECT_EQ(0, pl.score);
	EXPECT_EQ(SPAWN_COL, pl.col);
	EXPECT_EQ(SPAWN_ROW, pl.row);
	EXPECT_EQ(START_FLOOR_ROW, pl.floor_row);
}

}  // namespace
