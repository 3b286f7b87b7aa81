// The bot as the real program against the real game, on Xvfb, where it must act on
// what it finds rather than on what it did: a finished game it is started on, and a
// window that lost the keyboard focus while it played, and a key of its that was lost.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <string>

#include "bot/screen.h"
#include "tests/support/x_server.h"

namespace {

const char BOT_LEVEL[] = "5";
const int GAME_END_DROPS = 40;   /* hard drops at the spawn that surely end a game */
// Gravity takes over 20 s to bring a piece from the spawn this far in a new game.
const int LOW_ROWS_FROM = 15;

class BotSingle : public ::testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_FALSE(server_.name().empty()) << "Xvfb did not start";
		game_ = spawn(program_under_test(), {}, server_.name());
		d_ = server_.connect();
		ASSERT_NE(nullptr, d_);
		w_ = wait_for_window(d_, GAME_TITLE);
		ASSERT_NE(0u, w_) << "no game window";
		ASSERT_TRUE(open_reader(reader_, d_, w_));
	}
	void TearDown() override
	{
		stop(bot_);
		stop(game_);
		if (d_)
			XCloseDisplay(d_);
	}

	void start_bot(const std::vector<std::string> &options)
	{
		std::vector<std::string> args = { "-d", server_.name(), "-l", BOT_LEVEL };
		args.insert(args.end(), options.begin(), options.end());
		bot_ = spawn(DRAVIK_BOT, args, server_.name());
	}
	bool button_reads(ButtonState b)
	{
		View v;
		return read_screen(reader_, &v) && v.button == b;
	}
	// Blocks in the field's lowest rows: where the first pieces land, far below the spawn.
	int low_blocks()
	{
		View v;
		int n = 0;
		if (read_screen(reader_, &v))
			for (int c = 0; c < GRID_COLS; c++)
				for (int row = LOW_ROWS_FROM; row <= v.floor_row; row++)
					n += v.cells[c][row] != CELL_FREE;
		return n;
	}
	Window focus()
	{
		Window f;
		int revert;
		XGetInputFocus(d_, &f, &revert);
		return f;
	}

	XServer server_;
	Display *d_ = nullptr;
	Window w_ = 0;
	Reader reader_;
	Child game_, bot_;
};

TEST_F(BotSingle, NewGivenOnAFinishedGameStartsTheNext)
{
	for (int i = 0; i < GAME_END_DROPS; i++)
		press_key(d_, w_, XK_space);
	ASSERT_TRUE(wait_for([&] { return button_reads(BUTTON_OVER); })) << "the game did not end";

	start_bot({ "-n" });
	EXPECT_TRUE(wait_for([&] { return button_reads(BUTTON_PLAYING); }))
		<< "the bot did not press New";
}

// Hiding and showing the window, or another client, takes the focus away from it; the
// bot's keys must find the game again, not go elsewhere.
TEST_F(BotSingle, KeysFindTheWindowAfterItLostTheFocus)
{
	start_bot({});
	ASSERT_TRUE(wait_for([&] { return focus() == w_; })) << "the bot never played";

	XUnmapWindow(d_, w_);
	XMapWindow(d_, w_);
	XSetInputFocus(d_, None, RevertToNone, CurrentTime);
	XSync(d_, False);
	EXPECT_TRUE(wait_for([&] { return focus() == w_; })) << "the focus stayed away";
	EXPECT_TRUE(button_reads(BUTTON_PLAYING));
}

// A key is lost when the focus moves at the moment it is sent. While the test holds
// the keyboard, the bot's keys come to the test, which passes them on to the game, all
// but the first hard drop. The bot must see the piece still falling and drop it again,
// not leave it to gravity.
TEST_F(BotSingle, ALostDropIsSentAgain)
{
	start_bot({});
	ASSERT_TRUE(wait_for([&] { return focus() == w_; })) << "the bot never played";
	ASSERT_EQ(GrabSuccess, XGrabKeyboard(d_, DefaultRootWindow(d_), False, GrabModeAsync,
	                                     GrabModeAsync, CurrentTime));
	bool dropped = false;
	bool swallowed = wait_for([&] {
		while (!dropped && XPending(d_)) {
			XEvent e;
			XNextEvent(d_, &e);
			if (e.type != KeyPress && e.type != KeyRelease)
				continue;
			if (XLookupKeysym(&e.xkey, 0) == XK_space) {
				dropped = e.type == KeyRelease;
				continue;
			}
			e.xkey.window = w_;
			XSendEvent(d_, w_, False, KeyPressMask | KeyReleaseMask, &e);
		}
		return dropped;
	});
	XUngrabKeyboard(d_, CurrentTime);
	XSync(d_, False);
	ASSERT_TRUE(swallowed) << "the bot sent no hard drop";

	int before = low_blocks();
	EXPECT_TRUE(wait_for([&] { return low_blocks() > before; }))
		<< "the piece was left to gravity";
}

}  // namespace
