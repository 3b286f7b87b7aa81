// Single play drawn on a private 24-bit Xvfb: the window, frames and labels, cells, the
// falling piece's repaints, the field, the side panel and the hiscore view, each read back
// pixel by pixel after the window was covered with a sentinel colour.
#include <gtest/gtest.h>

#include <cstring>

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

class OnePlayerScreen : public ::testing::Environment {
public:
	void SetUp() override
	{
		const char *names[] = { "ann" };
		opened = start_test_screen(0, 24) && open_test_players(1, names);
	}
	void TearDown() override { stop_test_screens(); }
};

const auto *environment = ::testing::AddGlobalTestEnvironment(new OnePlayerScreen);

class SinglePlay : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_TRUE(opened) << "no Xvfb, or the player could not be opened";
		reset_drawing_state();
		cover_with_sentinel(0);
	}
	unsigned long sentinel() const { return test_screens[0].sentinel; }
};

TEST_F(SinglePlay, WindowIsFixedAt280By340WithTitleHintsAndWhiteBorder)
{
	EXPECT_EQ("", window_faults(0, SINGLE_HEIGHT));
	EXPECT_EQ(0, last_player);
}

TEST_F(SinglePlay, PaletteHoldsTheGreysAndEachKindsLightFaceAndDark)
{
	EXPECT_EQ("", full_palette_faults(0));
}

TEST_F(SinglePlay, FrameBevelsCoverTwoPixelsAndLaterLinesWinTheCorners)
{
	const struct {
		const char *name;
		int sunk, filled, x, y, width, height;
	} cases[] = {
		{ "raised, filled", 0, 1, 20, 30, 70, 20 },
		{ "raised, hollow", 0, 0, 15, 60, 130, 45 },
		{ "sunk, filled", 1, 1, 40, 120, 50, 60 },
		{ "sunk, hollow", 1, 0, 100, 200, 40, 100 },
		{ "smallest with an inside", 0, 1, 30, 250, 5, 5 },
	};
	const Player &pl = players[0];
	for (const auto &c : cases) {
		cover_with_sentinel(0);
		draw_frame(c.sunk, c.filled, 0, c.x, c.y, c.width, c.height, nullptr);
		Picture want(0, sentinel());
		want.frame(c.sunk, c.filled, c.x, c.y, c.width, c.height, nullptr);
		auto image = snapshot(0);
		EXPECT_EQ("", want.differences(*image)) << c.name;

		unsigned long first = c.sunk ? pl.color_dark : pl.color_light;
		unsigned long second = c.sunk ? pl.color_light : pl.color_dark;
		int right = c.x + c.width - 1, bottom = c.y + c.height - 1;
		EXPECT_EQ(first, image->at(right, c.y)) << c.name << ": top right";
		EXPECT_EQ(second, image->at(c.x, bottom)) << c.name << ": bottom left";
		EXPECT_EQ(c.filled ? pl.color_background : sentinel(),
		          image->at(c.x + c.width / 2, c.y + c.height / 2))
			<< c.name << ": inside";

		XGCValues v;
		XGetGCValues(pl.display, pl.gc, GCForeground, &v);
		EXPECT_EQ(second, v.foreground) << c.name << ": foreground left behind";
	}
}

TEST_F(SinglePlay, LabelStartsHalfTheSlackRightRoundedDown)
{
	const struct {
		const char *label;
		int sunk;
		int slack;   /* frame width minus label width */
		int shift;   /* where the label starts, from the frame's left edge */
	} cases[] = {
		{ "Quit", 0, 44, 22 },
		{ "Pause", 1, 3, 1 },
		{ "LOOSER", 0, 0, 0 },
		{ "Continue", 1, -1, -1 },
		{ "Continue", 0, -3, -2 },
		{ "WINNER", 1, -4, -2 },
	};
	const Player &pl = players[0];
	const int x = 60, y = 40, height = 20;
	for (const auto &c : cases) {
		int width = text_width(0, c.label) + c.slack;
		cover_with_sentinel(0);
		draw_frame(c.sunk, 1, 0, x, y, width, height, c.label);
		unsigned long first = c.sunk ? pl.color_dark : pl.color_light;
		unsigned long second = c.sunk ? pl.color_light : pl.color_dark;
		Picture want(0, sentinel());
		want.fill(x + 2, y + 2, width - 4, height - 4, pl.color_background);
		want.bevel(x, y, width, height, first, second);
		want.text(x + c.shift, y + LABEL_BASELINE, c.label, second);
		EXPECT_EQ("", want.differences(*snapshot(0)))
			<< c.label << ", slack " << c.slack << (c.sunk ? ", sunk" : ", raised");
	}
}

TEST_F(SinglePlay, CellImageSitsAtTheFieldOriginPlusItsOffsets)
{
	const struct {
		int code, col, row;
		int top;   /* window row of the cell's first pixel row */
	} cases[] = {
		{ 0, 0, 0, 10 },
		{ 6, 9, 19, 314 },
		{ 3, 4, 7, 122 },
		{ CELL_EMPTY, 2, 11, 186 },
	};
	for (const auto &c : cases) {
		cover_with_sentinel(0);
		draw_block(0, c.code, CELL_PX * c.col, CELL_PX * c.row);
		Picture want(0, sentinel());
		want.cell(c.code, FIELD_X + CELL_PX * c.col, c.top);
		EXPECT_EQ("", want.differences(*snapshot(0)))
			<< "code " << c.code << " at column " << c.col << ", row " << c.row;
	}
}

TEST_F(SinglePlay, PausedCellIsPaintedEmptyWhateverItHolds)
{
	paused = 1;
	draw_block(0, 5, CELL_PX * 3, CELL_PX * 8);
	Picture want(0, sentinel());
	want.cell(CELL_EMPTY, FIELD_X + CELL_PX * 3, FIELD_Y + CELL_PX * 8);
	EXPECT_EQ("", want.differences(*snapshot(0)));
}

// The moves named in the piece's repaint contract, with the cells they must change.
TEST_F(SinglePlay, PieceMovesRepaintOnlyTheCellsThatChange)
{
	struct Cell {
		int col, row;
	};
	const struct {
		const char *name;
		PiecePlace drawn, now;
		std::vector<Cell> painted, erased;   /* every other cell is left alone */
	} cases[] = {
		{ "flat bar one column left", { 0, 0, 4, 5 }, { 0, 0, 3, 5 },
		  { { 3, 5 } }, { { 7, 5 } } },
		{ "flat bar one column right", { 0, 0, 4, 5 }, { 0, 0, 5, 5 },
		  { { 8, 5 } }, { { 4, 5 } } },
		{ "square one row down", { 3, 0, 4, 5 }, { 3, 0, 4, 6 },
		  { { 4, 7 }, { 5, 7 } }, { { 4, 5 }, { 5, 5 } } },
		{ "bar turned upright", { 0, 0, 4, 5 }, { 0, 1, 4, 5 },
		  { { 4, 6 }, { 4, 7 }, { 4, 8 } }, { { 5, 5 }, { 6, 5 }, { 7, 5 } } },
		{ "square turned", { 3, 1, 4, 5 }, { 3, 2, 4, 5 }, {}, {} },
		{ "nothing changed", { 6, 1, 4, 5 }, { 6, 1, 4, 5 },
		  { { 4, 5 }, { 5, 5 }, { 4, 6 }, { 4, 7 } }, {} },
		{ "row jumps three down", { 2, 0, 2, 3 }, { 2, 0, 2, 6 },
		  { { 2, 6 }, { 2, 7 }, { 3, 7 }, { 3, 8 } },
		  { { 2, 3 }, { 2, 4 }, { 3, 4 }, { 3, 5 } } },
		{ "upright bar jumps two down over itself", { 0, 1, 0, 3 }, { 0, 1, 0, 5 },
		  { { 0, 5 }, { 0, 6 }, { 0, 7 }, { 0, 8 } }, { { 0, 3 }, { 0, 4 } } },
		{ "row jumps two up", { 4, 2, 6, 10 }, { 4, 2, 6, 8 },
		  { { 7, 8 }, { 6, 9 }, { 7, 9 }, { 8, 9 } },
		  { { 7, 10 }, { 6, 11 }, { 7, 11 }, { 8, 11 } } },
	};
	for (const auto &c : cases) {
		cover_with_sentinel(0);
		Player &pl = players[0];
		pl.kind = c.now.kind;
		pl.drawn_rotation = c.drawn.rotation;
		pl.drawn_col = c.drawn.col;
		pl.drawn_row = c.drawn.row;
		pl.rotation = c.now.rotation;
		pl.col = c.now.col;
		pl.row = c.now.row;
		draw_piece(0);
		Picture want(0, sentinel());
		for (const Cell &e : c.erased)
			want.cell(CELL_EMPTY, FIELD_X + CELL_PX * e.col, FIELD_Y + CELL_PX * e.row);
		for (const Cell &n : c.painted)
			want.cell(pl.kind, FIELD_X + CELL_PX * n.col, FIELD_Y + CELL_PX * n.row);
		EXPECT_EQ("", want.differences(*snapshot(0))) << c.name;
	}
}

// Every kind and rotation, moved each way that the rules move a piece.
TEST_F(SinglePlay, EveryShapeRepaintsOnlyItsChangedCells)
{
	for (int kind = 0; kind < KIND_COUNT; kind++)
		for (int r = 0; r < ROTATION_COUNT; r++) {
			int turned = (r + 1) % ROTATION_COUNT;
			const struct {
				const char *name;
				PiecePlace drawn, now;
			} moves[] = {
				{ "left", { kind, r, 5, 6 }, { kind, r, 4, 6 } },
				{ "right", { kind, r, 4, 6 }, { kind, r, 5, 6 } },
				{ "down", { kind, r, 4, 6 }, { kind, r, 4, 7 } },
				{ "turn", { kind, r, 4, 6 }, { kind, turned, 4, 6 } },
				{ "redraw", { kind, r, 4, 6 }, { kind, r, 4, 6 } },
				{ "jump", { kind, r, 4, 6 }, { kind, r, 4, 8 } },
			};
			for (const auto &m : moves)
				EXPECT_EQ("", piece_move_differences(0, m.drawn, m.now))
					<< "kind " << kind << " in rotation " << r << ": " << m.name;
		}
}

TEST_F(SinglePlay, PieceIsFlushedWithoutAnyoneSyncing)
{
	Player &pl = players[0];
	pl.kind = 1;
	pl.rotation = pl.drawn_rotation = 0;
	pl.col = pl.drawn_col = 2;
	pl.row = pl.drawn_row = 4;
	draw_piece(0);
	int x = FIELD_X + CELL_PX * 2 + CELL_PX / 2, y = FIELD_Y + CELL_PX * 4 + CELL_PX / 2;
	unsigned long face = pl.piece_colors[1][COLOR_FACE];
	Display *probe = test_screens[0].probe;
	EXPECT_TRUE(wait_for([&] { return pixel_at(probe, pl.window, x, y) == face; }, 2000));
}

TEST_F(SinglePlay, BorderDrawsNothing)
{
	draw_border(0);
	EXPECT_EQ("", Picture(0, sentinel()).differences(*snapshot(0)));
}

// A board of every code, and a snapshot that differs from it in a few cells.
void fill_board_and_snapshot(int p)
{
	for (int i = 0; i < BOARD_COLS; i++)
		for (int j = 0; j < BOARD_ROWS; j++) {
			boards[p][i][j] = (i + 3 * j) % (CELL_EMPTY + 1);
			board_snapshot[p][i][j] = boards[p][i][j];
		}
	board_snapshot[p][0][0] = CELL_EMPTY;
	board_snapshot[p][9][0] = 2;
	board_snapshot[p][5][10] = 6;
	board_snapshot[p][3][18] = 0;
	board_snapshot[p][7][19] = 1;
}

TEST_F(SinglePlay, FieldPaintsEveryCellDownToFloorRowAndNoFurther)
{
	fill_board_and_snapshot(0);
	draw_field(0);
	FieldView want(0);
	for (int j = 0; j <= players[0].floor_row; j++)
		for (int i = 0; i < BOARD_COLS; i++)
			want.cell(boards[0][i][j], i, j);
	EXPECT_EQ("", want.differences());
}

TEST_F(SinglePlay, PausedFieldIsAllEmpty)
{
	fill_board_and_snapshot(0);
	paused = 1;
	draw_field(0);
	FieldView want(0);
	for (int j = 0; j <= players[0].floor_row; j++)
		for (int i = 0; i < BOARD_COLS; i++)
			want.cell(CELL_EMPTY, i, j);
	EXPECT_EQ("", want.differences());
}

TEST_F(SinglePlay, FieldChangesRepaintChangedCellsAndTheLowestNPlusOneRows)
{
	const int cases[] = { -1, 0, 2, 19 };
	fill_board_and_snapshot(0);
	for (int n : cases) {
		cover_with_sentinel(0);
		draw_field_changes(0, n);
		FieldView want(0);
		for (int j = 0; j <= players[0].floor_row; j++)
			for (int i = 0; i < BOARD_COLS; i++)
				if (boards[0][i][j] != board_snapshot[0][i][j] ||
				    j >= players[0].floor_row - n)
					want.cell(boards[0][i][j], i, j);
		EXPECT_EQ("", want.differences()) << "n = " << n;
	}
}

// The chrome of single play as the geometry places it, under the given labels.
Picture single_layout(const char *game_label, const char *result_label, const char *score)
{
	const Player &pl = players[0];
	Picture want(0, test_screens[0].sentinel);
	want.frame(0, 0, 0, 0, WINDOW_WIDTH, SINGLE_HEIGHT, nullptr);
	want.frame(1, 0, WELL_X, WELL_Y, WELL_WIDTH, SINGLE_WELL_HEIGHT, nullptr);
	want.frame(1, 0, BOX_X, BOX_Y, BOX_WIDTH, BOX_HEIGHT, nullptr);
	want.text(TEXT_X, NAME_BASELINE, pl.name, pl.color_light);
	want.text(TEXT_X, SCORE_LABEL_BASELINE, "Score:", pl.color_light);
	want.fill(TEXT_X, SCORE_CLEAR_Y, SCORE_CLEAR_WIDTH, SCORE_CLEAR_HEIGHT,
	          pl.color_background);
	want.text(TEXT_X, SCORE_BASELINE, score, pl.color_light);
	want.frame(0, 0, BUTTON_X, QUIT_Y, BUTTON_WIDTH, BUTTON_HEIGHT, "Quit");
	want.frame(0, 1, BUTTON_X, GAME_BUTTON_Y, BUTTON_WIDTH, BUTTON_HEIGHT, game_label);
	if (result_label)
		want.frame(1, 1, BUTTON_X, RESULT_Y, BUTTON_WIDTH, BUTTON_HEIGHT, result_label);
	return want;
}

TEST_F(SinglePlay, LayoutShowsItsFramesTextsAndLabelsByState)
{
	const struct {
		int paused, game_over, debug_mode, loser_index;
		const char *game_label, *result_label;   /* null: no result frame */
	} cases[] = {
		{ 0, 0, 0, 0, "Pause", nullptr },
		{ 1, 0, 0, 0, "Continue", nullptr },
		{ 1, 1, 0, 1, "New", "WINNER" },
		{ 0, 1, 0, 0, "New", "LOOSER" },
		{ 0, 1, 1, 0, "New", "DEBUG" },
	};
	players[0].score = 4321;
	for (const auto &c : cases) {
		paused = c.paused;
		game_over = c.game_over;
		debug_mode = c.debug_mode;
		loser_index = c.loser_index;
		cover_with_sentinel(0);
		draw_layout(0);
		Picture want = single_layout(c.game_label, c.result_label, "4321");
		EXPECT_EQ("", want.differences(*snapshot(0))) << "game button " << c.game_label;
	}
}

TEST_F(SinglePlay, ScoreIsClearedBeforeItIsRedrawn)
{
	const struct {
		int before, after;
		const char *shown;
	} cases[] = {
		{ 888888, 7, "7" },
		{ 5, 0, "0" },
		{ 12, -345, "-345" },
		{ 0, 2147483647, "2147483647" },
	};
	const Player &pl = players[0];
	for (const auto &c : cases) {
		cover_with_sentinel(0);
		players[0].score = c.before;
		draw_score(0);
		players[0].score = c.after;
		draw_score(0);
		Picture want(0, sentinel());
		want.fill(TEXT_X, SCORE_CLEAR_Y, SCORE_CLEAR_WIDTH, SCORE_CLEAR_HEIGHT,
		          pl.color_background);
		want.text(TEXT_X, SCORE_BASELINE, c.shown, pl.color_light);
		EXPECT_EQ("", want.differences(*snapshot(0))) << c.before << ", then " << c.after;
	}
}

TEST_F(SinglePlay, HiscoresShowOnePanelWithAMagentaTitleAndFifteenRows)
{
	const int MAGENTA = 5;
	HiscoreTable &t = hiscore_tables[0];
	memset(&t, 0, sizeof t);
	for (int i = 0; i < TABLE_ENTRIES; i++) {
		snprintf(t.name[i], ENTRY_NAME_SIZE, "p%d", i);
		t.score[i] = 1000 * (TABLE_ENTRIES - i);
	}
	strcpy(t.name[0], "ninechars");
	t.score[0] = 12345678;   /* wider than its six places */
	t.name[14][0] = '\0';
	t.score[14] = 0;
	players[0].floor_row = 12;

	draw_hiscores(0);
	const Player &pl = players[0];
	Picture want(0, sentinel());
	want.frame(0, 1, PANEL_X, UPPER_PANEL_Y, PANEL_WIDTH, PANEL_HEIGHT, nullptr);
	want.text(TABLE_X, TITLE_BASELINE, "Hiscore  Single",
	          pl.piece_colors[MAGENTA][COLOR_FACE]);
	table_rows(want, t, ROW_BASELINE, pl.piece_colors[MAGENTA][COLOR_DARK_EDGE]);
	EXPECT_EQ("", want.differences(*snapshot(0)));
	EXPECT_EQ(START_FLOOR_ROW, players[0].floor_row);
}

}  // namespace
