// The drop step of single play on constructed boards: moving, landing, row clearing,
// the speed curve, the score and the next piece. Drawing is recorded by the fake.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "rules/drop.h"
#include "rules/game.h"
#include "tests/support/fake_drawing.h"
#include "tests/support/rules_boards.h"

namespace {

// The standing straight piece resting on the floor: it covers rows 16..19 of column 9.
const int STAND_ROW = SINGLE_FLOOR - 4;

class DropStep : public ::testing::Test {
protected:
	void SetUp() override { start_rules(0); }
};

// Rows 16..19 as `full` says ('x' full once the standing straight lands in column 9,
// '.' not), each row with a code of its own; the straight piece placed on the floor.
void stand_straight_over(const char *full)
{
	static const char *const full_rows[] = { "111111111.", "222222222.", "444444444.", "555555555." };
	static const char *const open_rows[] = { ".11111111.", ".22222222.", ".44444444.", ".55555555." };
	for (int i = 0; i < 4; i++)
		set_row(0, STAND_ROW + i, full[i] == 'x' ? full_rows[i] : open_rows[i]);
	place_piece(0, STRAIGHT, UPRIGHT, LAST_COL, STAND_ROW);
}

TEST_F(DropStep, MoveChangesOnlyRowFallCounterAndDrawnPosition)
{
	Player &pl = players[0];
	place_piece(0, 6, 1, 2, 5);
	pl.fall_counter = 17;
	pl.score = 12;
	fall_delay = 33;
	lines_cleared = 3;
	Board before;
	memcpy(before, boards[0], sizeof before);

	EXPECT_EQ(1, drop_step(0));

	EXPECT_EQ(6, pl.row);
	EXPECT_EQ(6, pl.drawn_row);
	EXPECT_EQ(0, pl.fall_counter);
	EXPECT_EQ(6, pl.kind);
	EXPECT_EQ(1, pl.rotation);
	EXPECT_EQ(1, pl.drawn_rotation);
	EXPECT_EQ(2, pl.col);
	EXPECT_EQ(2, pl.drawn_col);
	EXPECT_EQ(12, pl.score);
	EXPECT_EQ(START_FLOOR_ROW, pl.floor_row);
	EXPECT_EQ(33, fall_delay);
	EXPECT_EQ(3, lines_cleared);
	EXPECT_EQ(0, memcmp(before, boards[0], sizeof before));
	EXPECT_EQ("piece(0)", drawing_trace());
}

TEST_F(DropStep, NextPieceStartsAtSpawnInRotationZeroAndIsDrawnWhole)
{
	Player &pl = players[0];
	place_piece(0, 5, 2, 7, SINGLE_FLOOR - 3);   /* three rows tall, on the floor */

	EXPECT_EQ(0, drop_step(0));

	EXPECT_EQ(".......55.", row_text(0, START_FLOOR_ROW));
	EXPECT_EQ(SPAWN_COL, pl.col);
	EXPECT_EQ(SPAWN_ROW, pl.row);
	EXPECT_EQ(0, pl.rotation);
	EXPECT_EQ(SPAWN_COL, pl.drawn_col);
	EXPECT_EQ(SPAWN_ROW, pl.drawn_row);
	EXPECT_EQ(0, pl.drawn_rotation);
	EXPECT_GE(pl.kind, 0);
	EXPECT_LT(pl.kind, KIND_COUNT);
	EXPECT_EQ(0, game_over);
	EXPECT_EQ("score(0) changes(0,0) piece(0)", drawing_trace());
	DrawCall drawn = calls_of(Drawn::PIECE).at(0);
	EXPECT_EQ(SPAWN_COL, drawn.col);
	EXPECT_EQ(SPAWN_ROW, drawn.row);
	EXPECT_EQ(0, drawn.rotation);
}

TEST_F(DropStep, PieceLandingAtRowZeroOverTheSpawnLosesTheGame)
{
	Player &pl = players[0];
	for (int r = 2; r <= START_FLOOR_ROW; r++)
		set_row(0, r, "....22....");
	place_piece(0, SQUARE, 0, SPAWN_COL, 0);   /* cannot fall: lands at row 0 */

	EXPECT_EQ(0, drop_step(0));

	// Every shape in rotation 0 has a block in its grid's corner, now taken.
	EXPECT_EQ("....33....", row_text(0, 0));
	EXPECT_EQ("....33....", row_text(0, 1));
	EXPECT_EQ("score(0) changes(0,0) end_game(0)", drawing_trace());
	EXPECT_EQ(1, game_over);
	EXPECT_EQ(0, winner_index);
	EXPECT_EQ(1, loser_index);
	EXPECT_EQ(SPAWN_ROW, pl.row);
	EXPECT_EQ(SPAWN_COL, pl.col);
}

TEST_F(DropStep, LandingScoresByRowsClearedAtTheLoweredDelay)
{
	static const struct {
		int32_t delay;        /* fall_delay before the landing */
		const char *full;     /* rows 16..19 full after the landing */
		int32_t delay_after;
		int32_t score;
	} cases[] = {
		{ START_FALL_DELAY, "....", START_FALL_DELAY, 10 },
		{ START_FALL_DELAY, "...x", START_FALL_DELAY - 1, 60 },
		{ START_FALL_DELAY, "..xx", START_FALL_DELAY - 2, 204 },
		{ START_FALL_DELAY, ".xxx", START_FALL_DELAY - 3, 429 },
		{ START_FALL_DELAY, "xxxx", START_FALL_DELAY - 4, 1050 },
		{ 39, "...x", 38, 90 },   /* factor 3 at 38, not 2 at 39 */
		{ 1, "xxxx", 1, 5250 },   /* never below 1 */
	};
	for (const auto &t : cases) {
		start_rules(0);
		std::string f = std::string("delay ") + std::to_string(t.delay) + " full " + t.full;
		int n = std::count(t.full, t.full + 4, 'x');
		fall_delay = t.delay;
		set_row(0, STAND_ROW - 1, "...6......");   /* rides down with the cleared rows */
		stand_straight_over(t.full);

		EXPECT_EQ(0, drop_step(0)) << f;

		EXPECT_EQ(t.delay_after, fall_delay) << f;
		EXPECT_EQ(n, lines_cleared) << f;
		EXPECT_EQ(t.score, players[0].score) << f;
		EXPECT_EQ("...6......", row_text(0, STAND_ROW - 1 + n)) << f;
		std::string changes = "changes(0," + std::to_string(n > 0 ? 1 : 0) + ")";
		EXPECT_EQ("score(0) " + changes + " piece(0)", drawing_trace()) << f;
		EXPECT_EQ(t.score, calls_of(Drawn::SCORE).at(0).score) << f;
	}
}

TEST_F(DropStep, FullRowsAmongThePieceRowsAreRemovedLowestFirst)
{
	// "x.x.": rows 16 and 18 full; four examinations (19, 18, 18 again, 17) clear both,
	// and the rows that were 17 and 19 end as 18 and 19.
	static const char *const cases[] = { "x.x.", ".xx.", "xx.x", ".x.x", "x...", "...x", "xxxx", "...." };
	for (const char *full : cases) {
		start_rules(0);
		stand_straight_over(full);
		std::vector<std::string> kept;   /* the rows that stay, from the bottom up */
		for (int i = 3; i >= 0; i--)
			if (full[i] != 'x') {
				std::string r = row_text(0, STAND_ROW + i);
				r[LAST_COL] = '0';
				kept.push_back(r);
			}

		drop_step(0);

		EXPECT_EQ(int(4 - kept.size()), lines_cleared) << full;
		for (int r = START_FLOOR_ROW, i = 0; r >= STAND_ROW - 4; r--, i++) {
			std::string want = i < int(kept.size()) ? kept[i] : "..........";
			EXPECT_EQ(want, row_text(0, r)) << full << " row " << r;
		}
		EXPECT_EQ("1111111111", row_text(0, SINGLE_FLOOR)) << full;
	}
}

TEST_F(DropStep, FullTopRowIsOnlyEmptied)
{
	for (int r = 1; r <= START_FLOOR_ROW; r++)
		set_row(0, r, "22222222.2");
	set_row(0, 0, "1111....11");
	place_piece(0, STRAIGHT, FLAT, SPAWN_COL, 0);

	drop_step(0);

	EXPECT_EQ(1, lines_cleared);
	EXPECT_EQ("..........", row_text(0, 0));
	for (int r = 1; r <= START_FLOOR_ROW; r++)
		EXPECT_EQ("22222222.2", row_text(0, r)) << "row " << r;
	EXPECT_EQ(0u, drawing_trace().find("score(0) changes(0,1) ")) << drawing_trace();
}

TEST_F(DropStep, SnapshotHoldsTheLandedPieceBeforeAnyRowIsRemoved)
{
	fill_board(board_snapshot[0], 6);
	fill_board(board_snapshot[1], 6);
	stand_straight_over("x.x.");
	std::vector<std::string> landed;
	for (int i = 0; i < 4; i++) {
		landed.push_back(row_text(0, STAND_ROW + i));
		landed.back()[LAST_COL] = '0';
	}

	drop_step(0);

	for (int r = 0; r < STAND_ROW; r++)
		EXPECT_EQ("..........", row_text(board_snapshot[0], r)) << "row " << r;
	for (int i = 0; i < 4; i++)
		EXPECT_EQ(landed[i], row_text(board_snapshot[0], STAND_ROW + i)) << "row " << STAND_ROW + i;
	EXPECT_EQ("6666666666", row_text(board_snapshot[0], SINGLE_FLOOR)) << "the floor row is not copied";
	for (int r = 0; r < BOARD_ROWS; r++)
		EXPECT_EQ("6666666666", row_text(board_snapshot[1], r)) << "single play, row " << r;

	// The redraw compares with that snapshot: the bottom row came back as it was, the
	// rows above it differ.
	DrawCall redraw = calls_of(Drawn::FIELD_CHANGES).at(0);
	EXPECT_EQ(1, redraw.forced);
	int in_row[BOARD_ROWS] = {};
	for (const auto &cell : redraw.changed)
		in_row[cell.second]++;
	EXPECT_EQ(0, in_row[START_FLOOR_ROW]);
	EXPECT_EQ(BOARD_COLS, in_row[STAND_ROW]);
	EXPECT_EQ(0, in_row[0]);
}

TEST_F(DropStep, LandingWithoutClearKeepsTheSnapshotAndRedrawsWhatDiffers)
{
	set_row(0, START_FLOOR_ROW, "...4444444");
	memcpy(board_snapshot[0], boards[0], sizeof(Board));   /* as after the last clear */
	Board snapshot;
	memcpy(snapshot, board_snapshot[0], sizeof snapshot);
	place_piece(0, SQUARE, 0, 0, START_FLOOR_ROW - 1);

	drop_step(0);

	EXPECT_EQ(0, memcmp(snapshot, board_snapshot[0], sizeof snapshot));
	DrawCall redraw = calls_of(Drawn::FIELD_CHANGES).at(0);
	EXPECT_EQ(0, redraw.forced);
	std::vector<std::pair<int, int>> square = {
		{ 0, START_FLOOR_ROW - 1 }, { 1, START_FLOOR_ROW - 1 }, { 0, START_FLOOR_ROW }, { 1, START_FLOOR_ROW },
	};
	EXPECT_EQ(square, redraw.changed);
}

TEST(SpeedCurve, LoweringDependsOnTheBandAndTheRowsClearedBefore)
{
	static const struct {
		int32_t delay, cleared_before, lowered;
	} cases[] = {
		{ START_FALL_DELAY, 7, START_FALL_DELAY - 1 },
		{ 31, 1, 30 },     /* lowest of the band that always lowers */
		{ 30, 1, 30 },
		{ 30, 2, 29 },
		{ 21, 1, 21 },
		{ 21, 2, 20 },
		{ 20, 2, 20 },     /* highest of the multiples of 4 */
		{ 20, 4, 19 },
		{ 11, 4, 10 },
		{ 10, 4, 10 },     /* highest of the multiples of 8 */
		{ 6, 8, 5 },
		{ 5, 8, 5 },       /* highest of the multiples of 16 */
		{ 5, 16, 4 },
		{ 2, 32, 1 },
		{ 1, 0, 1 },
		{ 1, 16, 1 },
	};
	for (const auto &t : cases)
		EXPECT_EQ(t.lowered, lowered_fall_delay(t.delay, t.cleared_before))
			<< "delay " << t.delay << " after " << t.cleared_before << " rows";
}

const struct {
	int rows;        /* rows cleared since program start */
	int32_t delay;   /* fall_delay first reached there */
} milestones[] = {
	{ 10, 30 }, { 29, 20 }, { 69, 10 }, { 105, 5 }, { 161, 1 },
};
const int CURVE_END = 161;

TEST(SpeedCurve, MilestonesFromProgramStart)
{
	const int rows = 1000;
	std::vector<int32_t> delay(rows + 1);
	delay[0] = START_FALL_DELAY;
	for (int l = 0; l < rows; l++)
		delay[l + 1] = lowered_fall_delay(delay[l], l);
	for (const auto &m : milestones) {
		EXPECT_EQ(m.delay, delay[m.rows]) << "after " << m.rows << " rows";
		EXPECT_EQ(m.delay + 1, delay[m.rows - 1]) << "after " << m.rows - 1 << " rows";
	}
	for (int l = CURVE_END; l <= rows; l++)
		ASSERT_EQ(1, delay[l]) << "after " << l << " rows";
}

TEST_F(DropStep, SpeedCurveThroughSingleRowLandings)
{
	const int landings = CURVE_END + 20;
	std::vector<int32_t> delay(landings + 1);
	delay[0] = fall_delay;
	for (int i = 1; i <= landings; i++) {
		lay_field(0, START_FLOOR_ROW);
		set_row(0, START_FLOOR_ROW, "012345601.");
		place_piece(0, STRAIGHT, UPRIGHT, LAST_COL, STAND_ROW);
		drop_step(0);
		ASSERT_EQ(i, lines_cleared);
		ASSERT_EQ(0, game_over);
		delay[i] = fall_delay;
	}
	for (const auto &m : milestones) {
		EXPECT_EQ(m.delay, delay[m.rows]) << "after " << m.rows << " rows";
		EXPECT_EQ(m.delay + 1, delay[m.rows - 1]) << "after " << m.rows - 1 << " rows";
	}
	EXPECT_EQ(1, delay[landings]);
}

}  // namespace
