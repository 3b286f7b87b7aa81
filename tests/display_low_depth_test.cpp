// The palettes of poor displays: player 0 on a display of depth 1 (black and white only),
// player 1 on one of depth 4 (greys, but black-and-white pieces). Where Xvfb refuses
// those depths, each player gets an 8-bit server whose connection reports the low depth:
// the link wraps XOpenDisplay so that the game's own connection sees it. Every check paints
// the area with the colour opposite to the one expected first, so that it also holds on a
// real one-bit screen, which has no third colour.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/palette.h"
#include "display/primitives.h"
#include "rules/game.h"
#include "tests/support/display_field.h"
#include "tests/support/display_picture.h"
#include "tests/support/display_rig.h"

// The root depth that connections to a display name report, where the server could not
// run at that depth itself.
static std::map<std::string, int> reported_depth;

extern "C" Display *__real_XOpenDisplay(const char *name);

extern "C" Display *__wrap_XOpenDisplay(const char *name)
{
	Display *d = __real_XOpenDisplay(name);
	if (d && name && reported_depth.count(name))
		DefaultScreenOfDisplay(d)->root_depth = reported_depth[name];
	return d;
}

namespace {

const int BLACK_AND_WHITE_DEPTH = 1, GREY_DEPTH = 4, STAND_IN_DEPTH = 8;
bool opened = false;

bool start_low_screen(int p, int depth)
{
	if (start_test_screen(p, depth))
		return true;
	if (!start_test_screen(p, STAND_IN_DEPTH))
		return false;
	reported_depth[test_screens[p].server->name()] = depth;
	return true;
}

class LowDepthScreens : public ::testing::Environment {
public:
	void SetUp() override
	{
		const char *names[] = { "ann", "bob" };
		opened = start_low_screen(0, BLACK_AND_WHITE_DEPTH) &&
		         start_low_screen(1, GREY_DEPTH) && open_test_players(2, names);
	}
	void TearDown() override { stop_test_screens(); }
};

const auto *environment = ::testing::AddGlobalTestEnvironment(new LowDepthScreens);

class LowDepth : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_TRUE(opened) << "no Xvfb, or the players could not be opened";
		reset_drawing_state();
	}
	static unsigned long black(int p) { return BlackPixel(players[p].display, 0); }
	static unsigned long white(int p) { return WhitePixel(players[p].display, 0); }
	static unsigned long grey(int p, int level)
	{
		return rgb_pixel(test_screens[p].probe, level, level, level);
	}
	static void paint(int p, unsigned long pixel)
	{
		probe_fill(p, 0, 0, WINDOW_WIDTH, DUEL_HEIGHT, pixel);
	}
	static std::string black_and_white_piece_faults(int p)
	{
		std::string faults;
		for (int k = 0; k < KIND_COUNT; k++) {
			const uint32_t *c = players[p].piece_colors[k];
			if (c[COLOR_LIGHT_EDGE] != black(p) || c[COLOR_FACE] != white(p) ||
			    c[COLOR_DARK_EDGE] != black(p))
				faults += "kind " + std::to_string(k) + " ";
		}
		return faults;
	}
};

TEST_F(LowDepth, DepthOneHasWhiteBackgroundAndBorderAndBlackBevels)
{
	const int p = 0;
	ASSERT_EQ(BLACK_AND_WHITE_DEPTH, players[p].depth);
	EXPECT_EQ(white(p), players[p].color_background);
	EXPECT_EQ(black(p), players[p].color_light);
	EXPECT_EQ(black(p), players[p].color_dark);
	EXPECT_EQ("", black_and_white_piece_faults(p));
	EXPECT_EQ("", window_faults(p, DUEL_HEIGHT));
}

TEST_F(LowDepth, DepthOneFramesAndLabelsAreBlackEitherWay)
{
	const int p = 0;
	const struct {
		int sunk;
		const char *label;
	} cases[] = { { 0, "Quit" }, { 1, "LOOSER" } };
	for (const auto &c : cases) {
		paint(p, white(p));
		draw_frame(c.sunk, 0, p, 40, 60, 70, 20, c.label);
		Picture want(p, white(p));
		want.bevel(40, 60, 70, 20, black(p), black(p));
		int start = 40 + ((70 - text_width(p, c.label)) >> 1);
		want.text(start, 60 + LABEL_BASELINE, c.label, black(p));
		EXPECT_EQ("", want.differences(*snapshot(p))) << c.label;
	}
	paint(p, black(p));
	draw_frame(1, 1, p, 40, 60, 70, 20, nullptr);
	Picture filled(p, black(p));
	filled.fill(42, 62, 66, 16, white(p));
	EXPECT_EQ("", filled.differences(*snapshot(p))) << "filled with the white background";
}

// A cell, and its mirror copy in the depth-4 window, on either paper.
TEST_F(LowDepth, PiecesAreWhiteWithBlackEdgesAtDepthOneAndFour)
{
	const int row = 3;
	for (int p = 0; p < PLAYER_COUNT; p++)
		for (int k = 0; k < KIND_COUNT; k++)
			for (int on_white = 0; on_white < 2; on_white++) {
				for (int q = 0; q < PLAYER_COUNT; q++)
					paint(q, on_white ? white(q) : black(q));
				draw_block(p, k, CELL_PX * k, CELL_PX * row);
				int x = FIELD_X + CELL_PX * k, y = CELL_PX * row;
				for (int q = 0; q < PLAYER_COUNT; q++) {
					int top = q == p ? FIELD_Y + y : MIRROR_Y - y;
					Picture want(q, on_white ? white(q) : black(q));
					want.fill(x + 2, top + 2, CELL_PX - 4, CELL_PX - 4, white(q));
					want.bevel(x, top, CELL_PX, CELL_PX, black(q), black(q));
					EXPECT_EQ("", want.differences(*snapshot(q)))
						<< "player " << p << ", kind " << k << ", window " << q
						<< (on_white ? ", white" : ", black");
				}
			}
}

TEST_F(LowDepth, DepthFourHasGreyFramesButBlackAndWhitePieces)
{
	const int p = 1;
	ASSERT_EQ(GREY_DEPTH, players[p].depth);
	EXPECT_EQ(grey(p, GREY_LIGHT), players[p].color_light);
	EXPECT_EQ(grey(p, GREY_BACKGROUND), players[p].color_background);
	EXPECT_EQ(grey(p, GREY_DARK), players[p].color_dark);
	EXPECT_EQ("", black_and_white_piece_faults(p));

	paint(p, black(p));
	draw_frame(0, 1, p, 40, 60, 70, 20, "Pause");
	Picture want(p, black(p));
	want.frame(0, 1, 40, 60, 70, 20, "Pause");
	EXPECT_EQ("", want.differences(*snapshot(p)));
	EXPECT_EQ("", window_faults(p, DUEL_HEIGHT));
}

}  // namespace
