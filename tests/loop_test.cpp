// The main loop of the real program on Xvfb, driven with XTest clicks: the buttons' hit
// rectangles and just outside them, pause and continue, exposures, and Quit.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "display/connection.h"
#include "display/geometry.h"
#include "tests/support/control_screen.h"
#include "tests/support/x_server.h"

namespace {

const int QUIT_MS = 20000;   /* the Quit press alone keeps the program busy for half a second */
const int MIDDLE_X = BUTTON_X + BUTTON_WIDTH / 2;
const int QUIT_MIDDLE_Y = QUIT_Y + BUTTON_HEIGHT / 2;
const int GAME_BOTTOM_Y = GAME_BUTTON_Y + BUTTON_HEIGHT - 1;
// Right of the drawn Quit frame, but still inside its hit rectangle.
const int RIGHT_OF_FRAME_X = BUTTON_X + BUTTON_WIDTH + 2;

class MainLoop : public ::testing::Test {
protected:
	static void SetUpTestSuite()
	{
		tolerate_x_errors();
		server_ = new XServer;
		d_ = server_->connect();
	}

	static void TearDownTestSuite()
	{
		if (d_)
			XCloseDisplay(d_);
		delete server_;
	}

	// A fresh single game, up and showing its chrome and first piece.
	void SetUp() override
	{
		ASSERT_NE(nullptr, d_) << "no server";
		child_ = spawn(program_under_test(), {}, server_->name());
		w_ = wait_for_window(d_, WINDOW_TITLE);
		ASSERT_NE(0u, w_) << child_.err;
		ASSERT_TRUE(wait_for([&] { return layout_drawn(d_, w_) && piece_whole(d_, w_); }))
			<< "the first exposure never drew the game";
	}

	void TearDown() override { stop_and_wait_gone(child_, { d_ }); }

	// Clears the window with an exposure and waits for the redraw: every event queued
	// before it, such as a click, has then been handled.
	bool settle()
	{
		XClearArea(d_, w_, 0, 0, 0, 0, True);
		XSync(d_, False);
		return wait_for([&] { return layout_drawn(d_, w_); });
	}

	bool shows_play()
	{
		return wait_for([&] {
			return button_label_is(d_, w_, GAME_BUTTON_Y, "Pause") && piece_whole(d_, w_);
		});
	}

	bool shows_pause()
	{
		return wait_for([&] {
			return button_label_is(d_, w_, GAME_BUTTON_Y, "Continue") && field_hidden(d_, w_);
		});
	}

	// Clicks the Quit button inside its hit rectangle and expects the clean end.
	void quit_with(int x, int y, unsigned button)
	{
		click(d_, w_, x, y, button);
		EXPECT_EQ(0, finish(child_, QUIT_MS)) << child_.err;
		EXPECT_EQ("", child_.err);
	}

	static XServer *server_;
	static Display *d_;
	Child child_;
	Window w_ = 0;
};

XServer *MainLoop::server_ = nullptr;
Display *MainLoop::d_ = nullptr;

TEST_F(MainLoop, ClicksJustOutsideTheHitRectanglesDoNothing)
{
	const struct { const char *where; int x, y; } misses[] = {
		{ "on the Quit frame, left of its hit", BUTTON_X + 5, QUIT_MIDDLE_Y },
		{ "left of the Quit hit", HIT_LEFT - 1, QUIT_MIDDLE_Y },
		{ "right of the Quit hit", HIT_RIGHT + 1, QUIT_MIDDLE_Y },
		{ "the Quit frame's top row", MIDDLE_X, QUIT_Y },
		{ "below the Quit button", MIDDLE_X, QUIT_Y + BUTTON_HEIGHT },
		{ "the game button frame's top row", MIDDLE_X, GAME_BUTTON_Y },
		{ "left of the game button hit", HIT_LEFT - 1, GAME_BOTTOM_Y },
		{ "right of the game button hit", HIT_RIGHT + 1, GAME_BOTTOM_Y },
		{ "below the game button", MIDDLE_X, GAME_BUTTON_Y + BUTTON_HEIGHT },
	};
	for (const auto &m : misses) {
		click(d_, w_, m.x, m.y);
		ASSERT_TRUE(settle()) << m.where << ": no redraw; still running: " << running(child_);
		EXPECT_TRUE(running(child_)) << m.where;
		EXPECT_TRUE(shows_play()) << m.where;
	}
	quit_with(RIGHT_OF_FRAME_X, QUIT_MIDDLE_Y, Button1);
}

TEST_F(MainLoop, GameButtonPausesAndContinuesWithEveryMouseButton)
{
	const struct { int x, y; unsigned button; } presses[] = {
		{ MIDDLE_X, GAME_BOTTOM_Y, Button1 },
		{ MIDDLE_X, GAME_BOTTOM_Y, Button1 },
		{ HIT_LEFT, GAME_BUTTON_Y + 1, Button2 },
		{ HIT_RIGHT, GAME_BOTTOM_Y, Button2 },
		{ RIGHT_OF_FRAME_X, GAME_BUTTON_Y + 1, Button3 },
		{ MIDDLE_X, GAME_BOTTOM_Y, Button3 },
	};
	bool paused = false;
	for (const auto &p : presses) {
		std::string where = "button " + std::to_string(p.button) + " at " +
		                    std::to_string(p.x) + "," + std::to_string(p.y);
		click(d_, w_, p.x, p.y, p.button);
		paused = !paused;
		if (paused)
			ASSERT_TRUE(shows_pause()) << where << ": no Continue label over a hidden field";
		else
			ASSERT_TRUE(shows_play()) << where << ": no Pause label with the piece";
	}
	quit_with(HIT_RIGHT, QUIT_Y + BUTTON_HEIGHT - 1, Button3);
}

// The press is handled where the pointer is by then, not where it was pressed: the
// program is held still while the pointer moves.
TEST_F(MainLoop, ButtonTestReadsThePointerWhenThePressIsHandled)
{
	kill(child_.pid, SIGSTOP);
	click(d_, w_, MIDDLE_X, GAME_BOTTOM_Y);
	XWarpPointer(d_, None, w_, 0, 0, 0, 0, MIDDLE_X, GAME_BUTTON_Y);
	XSync(d_, False);
	kill(child_.pid, SIGCONT);
	ASSERT_TRUE(settle()) << "pressed on the game button, left on its top row";
	EXPECT_TRUE(shows_play()) << "pressed on the game button, left on its top row";

	kill(child_.pid, SIGSTOP);
	click(d_, w_, BUTTON_X + 5, QUIT_MIDDLE_Y);
	XWarpPointer(d_, None, w_, 0, 0, 0, 0, MIDDLE_X, QUIT_MIDDLE_Y);
	XSync(d_, False);
	kill(child_.pid, SIGCONT);
	EXPECT_EQ(0, finish(child_, QUIT_MS)) << "pressed beside Quit, then moved onto it";
}

// The program is held still while its window is covered and uncovered, so that what
// comes back afterwards can only be its own redraw.
TEST_F(MainLoop, ExposureRedrawsChromeAndFieldInPlayAndInPause)
{
	Window root = DefaultRootWindow(d_);
	unsigned long black = BlackPixel(d_, DefaultScreen(d_));
	XSetWindowAttributes a;
	a.override_redirect = True;
	a.background_pixel = black;
	Window cover = XCreateWindow(d_, root, 0, 0, WINDOW_WIDTH + 2 * WINDOW_BORDER,
	                             SINGLE_HEIGHT + 2 * WINDOW_BORDER, 0, CopyFromParent,
	                             InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel,
	                             &a);
	GameColors g = game_colors(d_);

	for (bool paused : { false, true }) {
		const char *state = paused ? "paused" : "playing";
		kill(child_.pid, SIGSTOP);
		XMapWindow(d_, cover);
		XSync(d_, False);
		ASSERT_TRUE(wait_for([&] {
			return pixel_at(d_, root, WINDOW_BORDER, WINDOW_BORDER) == black;
		})) << state;
		XUnmapWindow(d_, cover);
		XSync(d_, False);
		EXPECT_TRUE(area_is(d_, w_, 0, 0, WINDOW_WIDTH, SINGLE_HEIGHT, g.background))
			<< state << ": the uncovered window should be bare until the program redraws";
		kill(child_.pid, SIGCONT);
		if (paused) {
			EXPECT_TRUE(wait_for([&] { return layout_drawn(d_, w_); })) << state;
			EXPECT_TRUE(shows_pause()) << state;
		} else {
			EXPECT_TRUE(wait_for([&] { return layout_drawn(d_, w_); })) << state;
			EXPECT_TRUE(shows_play()) << state;
			click(d_, w_, MIDDLE_X, GAME_BOTTOM_Y);
			ASSERT_TRUE(shows_pause());
		}
	}
	XDestroyWindow(d_, cover);
	quit_with(RIGHT_OF_FRAME_X, QUIT_MIDDLE_Y, Button1);
}

}  // namespace
