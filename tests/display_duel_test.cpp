// A duel drawn across two private Xvfb servers, one 24-bit and one 8-bit, so that the two
// players' pixel values differ: every mirror copy and every score in the other window
// must use that window's own palette. Pixels are read back after covering both windows
// with a sentinel colour.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/hiscore_view.h"
#include "display/panel.h"
#include "display/playfield.h"
#include "display/primitives.h"
#include "results/hiscore_store.h"
#include "rules/game.h"
#include "tests/support/display_field.h"
#include "tests/support/display_picture.h"
#include "tests/support/display_rig.h"

namespace {

bool opened = false;
const int DEPTHS[PLAYER_COUNT] = { 24, 8 };

class TwoPlayerScreens : public ::testing::Environment {
public:
	void SetUp() override
	{
		const char *names[] = { "ann", "bob" };
		opened = start_test_screen(0, DEPTHS[0]) && start_test_screen(1, DEPTHS[1]) &&
		         open_test_players(2, names);
	}
	void TearDown() override { stop_test_screens(); }
};

const auto *environment = ::testing::AddGlobalTestEnvironment(new TwoPlayerScreens);

class Duel : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_TRUE(opened) << "no Xvfb, or the players could not be opened";
		reset_drawing_state();
		cover_both();
	}
	static void cover_both()
	{
		cover_with_sentinel(0);
		cover_with_sentinel(1);
	}
	static Picture untouched(int p) { return Picture(p, test_screens[p].sentinel); }
};

TEST_F(Duel, BothWindowsAre280By670)
{
	for (int p = 0; p < PLAYER_COUNT; p++)
		EXPECT_EQ("", window_faults(p, DUEL_HEIGHT)) << "player " << p;
	EXPECT_EQ(1, last_player);
}

TEST_F(Duel, EachDisplayHasItsOwnPalette)
{
	for (int p = 0; p < PLAYER_COUNT; p++) {
		EXPECT_EQ(DEPTHS[p], players[p].depth) << "player " << p;
		EXPECT_EQ("", full_palette_faults(p)) << "player " << p;
	}
	// Else a copy drawn with the wrong player's colours could not be told apart.
	EXPECT_NE(players[0].color_background, players[1].color_background);
}

TEST_F(Duel, MirrorCopyLandsAt644MinusYInTheOtherWindowUnturned)
{
	const struct {
		int p, code, col, row;
		int top, mirror_top;   /* window rows of the cell and of its mirror copy */
	} cases[] = {
		{ 0, 4, 0, 0, 10, 644 },
		{ 1, 4, 0, 0, 10, 644 },
		{ 0, 6, 9, 19, 314, 340 },
		{ 1, 2, 9, 19, 314, 340 },
		{ 1, 0, 5, 24, 394, 260 },   /* a field grown past the middle */
		{ 0, CELL_EMPTY, 3, 5, 90, 564 },
	};
	for (const auto &c : cases) {
		cover_both();
		draw_block(c.p, c.code, CELL_PX * c.col, CELL_PX * c.row);
		Picture own = untouched(c.p), other = untouched(opponent(c.p));
		int x = FIELD_X + CELL_PX * c.col;
		own.cell(c.code, x, c.top);
		other.cell(c.code, x, c.mirror_top);
		std::string name = "player " + std::to_string(c.p) + ", code " +
		                   std::to_string(c.code) + ", row " + std::to_string(c.row);
		EXPECT_EQ("", own.differences(*snapshot(c.p))) << name << ": own window";
		EXPECT_EQ("", other.differences(*snapshot(opponent(c.p)))) << name << ": mirror";
	}
}

TEST_F(Duel, PausedCellIsEmptyInBothWindows)
{
	paused = 1;
	draw_block(1, 3, CELL_PX * 6, CELL_PX * 2);
	FieldView want(1);
	want.cell(CELL_EMPTY, 6, 2);
	EXPECT_EQ("", want.differences());
}

// Single play tries every rotation; here each kind in one of them, for either player.
TEST_F(Duel, EveryKindRepaintsOnlyItsChangedCellsInBothWindows)
{
	for (int p = 0; p < PLAYER_COUNT; p++)
		for (int kind = 0; kind < KIND_COUNT; kind++) {
			int r = (kind + p) % ROTATION_COUNT, turned = (r + 1) % ROTATION_COUNT;
			const struct {
				const char *name;
				PiecePlace drawn, now;
			} moves[] = {
				{ "left", { kind, r, 5, 15 }, { kind, r, 4, 15 } },
				{ "right", { kind, r, 4, 15 }, { kind, r, 5, 15 } },
				{ "down", { kind, r, 4, 15 }, { kind, r, 4, 16 } },
				{ "turn", { kind, r, 4, 15 }, { kind, turned, 4, 15 } },
				{ "redraw", { kind, r, 4, 15 }, { kind, r, 4, 15 } },
				{ "row pushed up", { kind, r, 4, 15 }, { kind, r, 4, 13 } },
			};
			for (const auto &m : moves)
				EXPECT_EQ("", piece_move_differences(p, m.drawn, m.now))
					<< "player " << p << ", kind " << kind << ", " << m.name;
		}
}

TEST_F(Duel, PieceReachesBothServersWithoutAnyoneSyncing)
{
	Player &pl = players[1];
	pl.kind = 4;
	pl.rotation = pl.drawn_rotation = 1;
	pl.col = pl.drawn_col = 0;
	pl.row = pl.drawn_row = 2;
	draw_piece(1);
	int x = FIELD_X + CELL_PX / 2, y = CELL_PX * 2, middle = CELL_PX / 2;
	EXPECT_TRUE(wait_for([&] {
		return pixel_at(test_screens[1].probe, pl.window, x, FIELD_Y + y + middle) ==
		       pl.piece_colors[4][COLOR_FACE];
	}, 2000)) << "own window";
	EXPECT_TRUE(wait_for([&] {
		return pixel_at(test_screens[0].probe, players[0].window, x,
		                MIRROR_Y - y + middle) == players[0].piece_colors[4][COLOR_FACE];
	}, 2000)) << "mirror";
}

// One bar row, as columns 8, 9, 10 to 169, 170 and 171 show it.
enum Shade { DARK, LIGHT, BACKGROUND };
struct BarRow {
	Shade left_outer, left_inner, middle, right_inner, right_outer;
};
const BarRow BAR[BAR_HEIGHT] = {
	{ DARK, LIGHT, LIGHT, LIGHT, LIGHT },   /* the left edge ends the top line short */
	{ LIGHT, LIGHT, LIGHT, LIGHT, LIGHT },
	{ BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND },
	{ BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND },
	{ BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND },
	{ BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND },
	{ BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND },
	{ BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND, BACKGROUND },
	{ DARK, DARK, DARK, DARK, DARK },
	{ DARK, DARK, DARK, DARK, LIGHT },      /* the right edge ends the bottom line short */
};

unsigned long shade_pixel(int p, Shade s)
{
	const Player &pl = players[p];
	return s == DARK ? pl.color_dark : s == LIGHT ? pl.color_light : pl.color_background;
}

TEST_F(Duel, BarFillsTheTenRowsBelowTheFieldInOneWindowOnly)
{
	const struct {
		int p, floor_row;
		int top;   /* the bar's first window row */
	} cases[] = {
		{ 0, 19, 330 },
		{ 1, 20, 346 },
		{ 0, 18, 314 },
		{ 1, 38, 634 },
	};
	for (const auto &c : cases) {
		cover_both();
		players[c.p].floor_row = c.floor_row;
		draw_border(c.p);
		auto image = snapshot(c.p);
		for (int r = 0; r < BAR_HEIGHT; r++) {
			const BarRow &b = BAR[r];
			const struct {
				int x;
				Shade shade;
			} columns[] = {
				{ 8, b.left_outer }, { 9, b.left_inner }, { 10, b.middle },
				{ 89, b.middle }, { 169, b.middle }, { 170, b.right_inner },
				{ 171, b.right_outer },
			};
			int y = c.top + r;
			for (const auto &col : columns)
				EXPECT_EQ(shade_pixel(c.p, col.shade), image->at(col.x, y))
					<< "floor_row " << c.floor_row << ": " << col.x << ", " << y;
		}
		unsigned long untouched = test_screens[c.p].sentinel;
		EXPECT_EQ(untouched, image->at(89, c.top - 1)) << c.floor_row << ": above";
		EXPECT_EQ(untouched, image->at(89, c.top + BAR_HEIGHT)) << c.floor_row << ": below";

		FieldView want(c.p);
		want.border(c.floor_row);
		EXPECT_EQ("", want.differences()) << "floor_row " << c.floor_row;
	}
}

TEST_F(Duel, MovedBarLeavesNoEndsBehind)
{
	const int old_top = 330, new_top = 346;   /* floor_row 19, then 20 */
	players[0].floor_row = 19;
	draw_border(0);
	players[0].floor_row = 20;
	draw_border(0);
	auto image = snapshot(0);
	const Player &pl = players[0];
	for (int y = old_top; y < new_top; y++) {
		EXPECT_EQ(pl.color_dark, image->at(BAR_LEFT, y)) << "row " << y;
		EXPECT_EQ(pl.color_dark, image->at(BAR_LEFT + 1, y)) << "row " << y;
		EXPECT_EQ(pl.color_light, image->at(BAR_RIGHT - 1, y)) << "row " << y;
		EXPECT_EQ(pl.color_light, image->at(BAR_RIGHT, y)) << "row " << y;
	}
}

// A board of every code, and a snapshot that differs from it in a few cells.
void fill_board_and_snapshot(int p)
{
	for (int i = 0; i < BOARD_COLS; i++)
		for (int j = 0; j < BOARD_ROWS; j++) {
			boards[p][i][j] = (2 * i + j + p) % (CELL_EMPTY + 1);
			board_snapshot[p][i][j] = boards[p][i][j];
		}
	board_snapshot[p][1][0] = CELL_EMPTY;
	board_snapshot[p][8][6] = 3;
	board_snapshot[p][4][15] = 5;
}

TEST_F(Duel, FieldShowsInBothWindowsWithTheBarInItsOwn)
{
	const int floor_rows[PLAYER_COUNT] = { 21, FLOOR_SUM - 21 };
	for (int p = 0; p < PLAYER_COUNT; p++) {
		players[0].floor_row = floor_rows[0];
		players[1].floor_row = floor_rows[1];
		fill_board_and_snapshot(p);
		cover_both();
		draw_field(p);
		FieldView want(p);
		for (int j = 0; j <= floor_rows[p]; j++)
			for (int i = 0; i < BOARD_COLS; i++)
				want.cell(boards[p][i][j], i, j);
		want.border(floor_rows[p]);
		EXPECT_EQ("", want.differences()) << "player " << p;
	}
}

TEST_F(Duel, FieldChangesShowInBothWindows)
{
	const struct {
		int p, floor_row, n;
	} cases[] = {
		{ 0, 17, 0 },
		{ 1, 21, -1 },
		{ 1, 21, 3 },
	};
	for (const auto &c : cases) {
		players[c.p].floor_row = c.floor_row;
		players[opponent(c.p)].floor_row = FLOOR_SUM - c.floor_row;
		fill_board_and_snapshot(c.p);
		cover_both();
		draw_field_changes(c.p, c.n);
		FieldView want(c.p);
		for (int j = 0; j <= c.floor_row; j++)
			for (int i = 0; i < BOARD_COLS; i++)
				if (boards[c.p][i][j] != board_snapshot[c.p][i][j] ||
				    j >= c.floor_row - c.n)
					want.cell(boards[c.p][i][j], i, j);
		want.border(c.floor_row);
		EXPECT_EQ("", want.differences()) << "player " << c.p << ", n = " << c.n;
	}
}

TEST_F(Duel, LayoutAddsTheOpponentBoxAndLeavesItsScoreToTheOpponent)
{
	const int OWN = 0, OTHER = 1;
	players[OWN].score = 120;
	players[OTHER].score = 9;
	draw_layout(OWN);

	const Player &own = players[OWN], &other = players[OTHER];
	Picture want = untouched(OWN);
	want.frame(0, 0, 0, 0, WINDOW_WIDTH, DUEL_HEIGHT, nullptr);
	want.frame(1, 0, WELL_X, WELL_Y, WELL_WIDTH, DUEL_WELL_HEIGHT, nullptr);
	want.frame(1, 0, BOX_X, BOX_Y + OPPONENT_DY, BOX_WIDTH, BOX_HEIGHT, nullptr);
	want.frame(1, 0, BOX_X, BOX_Y, BOX_WIDTH, BOX_HEIGHT, nullptr);
	want.text(TEXT_X, NAME_BASELINE, "ann", own.color_light);
	want.text(TEXT_X, NAME_BASELINE + OPPONENT_DY, "bob", own.color_light);
	want.text(TEXT_X, SCORE_LABEL_BASELINE, "Score:", own.color_light);
	want.text(TEXT_X, SCORE_LABEL_BASELINE + OPPONENT_DY, "Score:", own.color_light);
	want.fill(TEXT_X, SCORE_CLEAR_Y, SCORE_CLEAR_WIDTH, SCORE_CLEAR_HEIGHT,
	          own.color_background);
	want.text(TEXT_X, SCORE_BASELINE, "120", own.color_light);
	want.frame(0, 0, BUTTON_X, QUIT_Y, BUTTON_WIDTH, BUTTON_HEIGHT, "Quit");
	want.frame(0, 1, BUTTON_X, GAME_BUTTON_Y, BUTTON_WIDTH, BUTTON_HEIGHT, "Pause");
	EXPECT_EQ("", want.differences(*snapshot(OWN))) << "own window";

	// The own score goes to the other window's opponent box, in that window's colours.
	Picture there = untouched(OTHER);
	there.fill(TEXT_X, SCORE_CLEAR_Y + OPPONENT_DY, SCORE_CLEAR_WIDTH, SCORE_CLEAR_HEIGHT,
	           other.color_background);
	there.text(TEXT_X, SCORE_BASELINE + OPPONENT_DY, "120", other.color_light);
	EXPECT_EQ("", there.differences(*snapshot(OTHER))) << "other window";

	draw_score(OTHER);
	want.fill(TEXT_X, SCORE_CLEAR_Y + OPPONENT_DY, SCORE_CLEAR_WIDTH, SCORE_CLEAR_HEIGHT,
	          own.color_background);
	want.text(TEXT_X, SCORE_BASELINE + OPPONENT_DY, "9", own.color_light);
	EXPECT_EQ("", want.differences(*snapshot(OWN))) << "opponent's score in the own window";
}

TEST_F(Duel, HiscoresShowWinnersAboveLosersWithTheBarBetween)
{
	const int MAGENTA = 5, BLUE = 2;
	memset(hiscore_tables, 0, sizeof hiscore_tables);
	for (int i = 0; i < TABLE_ENTRIES; i++) {
		snprintf(hiscore_tables[0].name[i], ENTRY_NAME_SIZE, "win%d", i);
		hiscore_tables[0].score[i] = 500 - i;
		snprintf(hiscore_tables[1].name[i], ENTRY_NAME_SIZE, "lose%d", i);
		hiscore_tables[1].score[i] = 90 - i;
	}
	for (int p = 0; p < PLAYER_COUNT; p++) {
		players[p].floor_row = p ? 15 : 23;
		cover_both();
		draw_hiscores(p);

		const Player &pl = players[p];
		FieldView view(p);
		Picture &want = view.window(p);
		want.fill(PANEL_X, PANEL_GAP_Y, PANEL_WIDTH, LOWER_PANEL_Y - PANEL_GAP_Y,
		          pl.color_background);
		want.frame(0, 1, PANEL_X, UPPER_PANEL_Y, PANEL_WIDTH, PANEL_HEIGHT, nullptr);
		want.frame(0, 1, PANEL_X, LOWER_PANEL_Y, PANEL_WIDTH, PANEL_HEIGHT, nullptr);
		want.text(TABLE_X, TITLE_BASELINE, "Hiscore Winners", pl.color_dark);
		table_rows(want, hiscore_tables[0], ROW_BASELINE,
		           pl.piece_colors[MAGENTA][COLOR_DARK_EDGE]);
		want.text(TABLE_X, LOWER_TITLE_BASELINE, "Hiscore Loosers",
		          pl.piece_colors[BLUE][COLOR_FACE]);
		table_rows(want, hiscore_tables[1], LOWER_ROW_BASELINE,
		           pl.piece_colors[BLUE][COLOR_DARK_EDGE]);
		view.border(START_FLOOR_ROW);
		EXPECT_EQ("", view.differences()) << "player " << p;
		EXPECT_EQ(START_FLOOR_ROW, players[p].floor_row) << "player " << p;

		auto image = snapshot(p);
		EXPECT_EQ(pl.color_light, image->at(89, 330)) << "player " << p << ": bar top";
		EXPECT_EQ(pl.color_dark, image->at(89, 339)) << "player " << p << ": bar bottom";
	}
}

}  // namespace
