// Start-up of the real program, run as a child: the command line, its failure messages and
// exit statuses, debug mode, and which display gets a window of which height.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "control/startup.h"
#include "display/connection.h"
#include "display/geometry.h"
#include "tests/support/control_screen.h"
#include "tests/support/x_server.h"

namespace {

const char NAME_MESSAGE[] = "Do not use names longer than 8 characters\n";
const char DEBUG_MESSAGE[] = "Starting debug modus...\n";
const char FONTLESS_PATH[] = "/usr/share/fonts/X11/misc";   /* no courier in it */

std::string usage_line()
{
	return std::string(program_under_test()) +
	       " [ -m1 <machine1> ] [ -p1 <player1> ] [ -m2 <machine2> [ -p2 <player2> ] ]\n";
}

std::string display_message(const std::string &name)
{
	return "Can't open " + name + "'s display\n";
}

std::string joined(const std::vector<std::string> &args)
{
	std::string s;
	for (const auto &a : args)
		s += (s.empty() ? "" : " ") + ("'" + a + "'");
	return s;
}

int count(const std::string &text, const std::string &part)
{
	int n = 0;
	for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
		n++;
	return n;
}

// Two servers: "first" is $DISPLAY of every run, "second" is named on the command line.
class StartUp : public ::testing::Test {
protected:
	static void SetUpTestSuite()
	{
		tolerate_x_errors();
		first_ = new XServer;
		second_ = new XServer;
		d1_ = first_->connect();
		d2_ = second_->connect();
	}

	static void TearDownTestSuite()
	{
		if (d1_)
			XCloseDisplay(d1_);
		if (d2_)
			XCloseDisplay(d2_);
		delete first_;
		delete second_;
	}

	void SetUp() override
	{
		ASSERT_NE(nullptr, d1_) << "no first server";
		ASSERT_NE(nullptr, d2_) << "no second server";
	}

	// Replaces the placeholders "A" and "B" by the two servers' names.
	static std::vector<std::string> with_servers(std::vector<std::string> args)
	{
		for (auto &a : args) {
			if (a == "A")
				a = first_->name();
			else if (a == "B")
				a = second_->name();
		}
		return args;
	}

	static Child run(const std::vector<std::string> &args)
	{
		return spawn(program_under_test(), with_servers(args), first_->name());
	}

	static XServer *first_, *second_;
	static Display *d1_, *d2_;
};

XServer *StartUp::first_ = nullptr;
XServer *StartUp::second_ = nullptr;
Display *StartUp::d1_ = nullptr;
Display *StartUp::d2_ = nullptr;

TEST_F(StartUp, OptionWithoutItsValueOrSecondNameWithoutDisplayPrintsUsage)
{
	const std::vector<std::string> cases[] = {
		{ "-p2", "bob" },         /* a second name needs a second display */
		{ "-p1", "-p2", "bob" },  /* "-p2", taken as the first name, is tested too */
		{ "-m1" },                /* each value-taking option given last */
		{ "-m2" },
		{ "-p1" },
		{ "-p2" },
		{ "-c1", "-m1" },
		{ "-m2", "B", "-p2" },
	};
	for (const auto &args : cases) {
		Child c = run(args);
		EXPECT_EQ(0, finish(c)) << joined(args);
		EXPECT_EQ(usage_line(), c.err) << joined(args);
	}
}

TEST_F(StartUp, NameOfNineCharactersEndsTheRunBeforeAnyDisplayOpens)
{
	const std::string nine(MAX_NAME_LENGTH + 1, 'n');
	const std::vector<std::string> cases[] = {
		{ "-p1", nine },
		{ "-m2", "B", "-p2", nine },
		{ "-p2", nine },                      /* before the missing display is noticed */
		{ "-m1", unused_display(), "-p1", nine },   /* before the bad display is tried */
	};
	for (const auto &args : cases) {
		Child c = run(args);
		EXPECT_EQ(0, finish(c)) << joined(args);
		EXPECT_EQ(NAME_MESSAGE, c.err) << joined(args);
	}
}

TEST_F(StartUp, UnopenableDisplayIsNamedAsGiven)
{
	const std::string nowhere = unused_display();
	ASSERT_NE("", nowhere);
	struct Case {
		std::vector<std::string> args;
		std::string environment;   /* $DISPLAY; "A" for the first server */
		std::string named;         /* the display the message names */
	} cases[] = {
		{ { "-m1", nowhere }, "A", nowhere },
		{ {}, nowhere, nowhere },                   /* the name Xlib took from $DISPLAY */
		{ { "-m1", "-p1", "bob" }, "A", "-p1" },    /* "-p1" is taken as the display */
		{ { "-m1", "-m2", "B" }, "A", "-m2" },      /* "-m2" is player 1's display */
		{ { "-m2", nowhere }, "A", nowhere },       /* player 1 fails after player 0 */
	};
	for (const auto &t : cases) {
		std::string where = joined(t.args) + " with DISPLAY=" + t.environment;
		std::string environment = t.environment == "A" ? first_->name() : t.environment;
		Child c = spawn(program_under_test(), with_servers(t.args), environment);
		EXPECT_EQ(0, finish(c)) << where;
		EXPECT_EQ(display_message(t.named), c.err) << where;
		stop_and_wait_gone(c, { d1_, d2_ });   /* player 0's window may still be up */
	}
}

TEST_F(StartUp, NoDisplayAnywhereNeverPrintsNull)
{
	Child c = spawn(program_under_test(), {}, "");
	EXPECT_EQ(0, finish(c));
	EXPECT_EQ(0u, c.err.rfind("Can't open ", 0)) << c.err;
	EXPECT_EQ(std::string::npos, c.err.find("(null)")) << c.err;
	EXPECT_EQ(1, count(c.err, "'s display\n")) << c.err;
}

TEST_F(StartUp, ServerWithoutTheCourierFontEndsWithStatus255)
{
	XServer fontless(24, 640, 720, FONTLESS_PATH);
	ASSERT_NE("", fontless.name());
	Child c = spawn(program_under_test(), {}, fontless.name());
	EXPECT_EQ(255, finish(c));
	EXPECT_EQ(std::string("Cannot open ") + FONT_NAME + " font\n", c.err);
}

// Which server gets a window of which height, and player 0's name in his own box.
TEST_F(StartUp, OptionChainsChooseDisplaysHeightsAndName)
{
	const std::string login = getpwuid(getuid())->pw_name;
	const std::string eight(MAX_NAME_LENGTH, 'e');
	struct Case {
		std::vector<std::string> args;
		int height_first;    /* of the window on the first server; 0: none */
		int height_second;   /* likewise on the second */
		std::string name;    /* player 0's, shown in his own window */
		bool player0_on_second;
		std::string name1 = "";   /* player 1's in his own window; "": not looked at */
	} cases[] = {
		{ {}, SINGLE_HEIGHT, 0, login, false },
		{ { "-p1", eight }, SINGLE_HEIGHT, 0, eight, false },
		{ { "-p1", "-m1", "x" }, SINGLE_HEIGHT, 0, "-m1", false },
		{ { "-m1", "A", "-m1", "B" }, 0, SINGLE_HEIGHT, login, true },
		{ { "-c2" }, SINGLE_HEIGHT, 0, login, false },
		{ { "stray", "-c2", "words" }, SINGLE_HEIGHT, 0, login, false },
		{ { "-m2", "B" }, DUEL_HEIGHT, DUEL_HEIGHT, login, false },
		{ { "-m2", "B", "-p2", eight, "-p1", "ann" }, DUEL_HEIGHT, DUEL_HEIGHT, "ann", false },
		{ { "-m1", "B", "-m2", "A" }, DUEL_HEIGHT, DUEL_HEIGHT, login, true },
		{ { "-m2", "B", "-p1", "-p2", "bob" }, DUEL_HEIGHT, DUEL_HEIGHT, "-p2", false, "bob" },
	};
	GameColors g = game_colors(d1_);
	for (const auto &t : cases) {
		std::string where = joined(t.args);
		Child c = run(t.args);
		Window w1 = 0, w2 = 0;
		bool up = wait_for([&] {
			w1 = find_window(d1_, WINDOW_TITLE);
			w2 = find_window(d2_, WINDOW_TITLE);
			return (w1 != 0) == (t.height_first != 0) && (w2 != 0) == (t.height_second != 0) &&
			       (!w1 || layout_drawn(d1_, w1)) && (!w2 || layout_drawn(d2_, w2));
		});
		EXPECT_TRUE(up) << where << ": windows on first/second " << (w1 != 0) << "/"
		                << (w2 != 0);
		EXPECT_TRUE(running(c)) << where << ": " << c.err;
		if (up) {
			const struct { Display *d; Window w; int height; } shown[] = {
				{ d1_, w1, t.height_first }, { d2_, w2, t.height_second } };
			for (const auto &s : shown) {
				if (!s.w)
					continue;
				XWindowAttributes a;
				ASSERT_TRUE(XGetWindowAttributes(s.d, s.w, &a)) << where;
				EXPECT_EQ(WINDOW_WIDTH, a.width) << where;
				EXPECT_EQ(s.height, a.height) << where;
			}
			Display *d = t.player0_on_second ? d2_ : d1_;
			Window w = t.player0_on_second ? w2 : w1;
			EXPECT_TRUE(text_shown(d, w, t.name.c_str(), TEXT_X, NAME_BASELINE, BOX_X + 2,
			                       BOX_X + BOX_WIDTH - 3, g.light, g.background))
				<< where << ": name " << t.name;
			if (!t.name1.empty()) {
				EXPECT_TRUE(text_shown(t.player0_on_second ? d1_ : d2_,
				                       t.player0_on_second ? w1 : w2, t.name1.c_str(), TEXT_X,
				                       NAME_BASELINE, BOX_X + 2, BOX_X + BOX_WIDTH - 3,
				                       g.light, g.background))
					<< where << ": second name " << t.name1;
			}
		}
		stop_and_wait_gone(c, { d1_, d2_ });
		EXPECT_EQ(std::string::npos, c.err.find(NAME_MESSAGE)) << where;
	}
}

TEST_F(StartUp, UserWithoutPasswordEntryPlaysUnderTheFallbackName)
{
	if (getuid() != 0)
		GTEST_SKIP() << "only root can take a user id without an entry";
	uid_t uid = 54321;
	while (getpwuid(uid))
		uid++;
	std::string id = std::to_string(uid);
	Child c = spawn("/usr/bin/setpriv",
	                { "--reuid=" + id, "--regid=" + id, "--clear-groups", program_under_test() },
	                first_->name());
	Window w = 0;
	EXPECT_TRUE(wait_for([&] {
		w = find_window(d1_, WINDOW_TITLE);
		return w && layout_drawn(d1_, w);
	})) << c.err;
	GameColors g = game_colors(d1_);
	if (w) {
		EXPECT_TRUE(text_shown(d1_, w, FALLBACK_NAME, TEXT_X, NAME_BASELINE, BOX_X + 2,
		                       BOX_X + BOX_WIDTH - 3, g.light, g.background));
	}
	EXPECT_TRUE(running(c)) << c.err;
	stop_and_wait_gone(c, { d1_ });
	EXPECT_EQ(std::string::npos, c.err.find(DEBUG_MESSAGE));
}

TEST_F(StartUp, EqualNamesAnnounceDebugModeOnce)
{
	struct Case {
		std::vector<std::string> args;
		int announced;   /* how often the debug message is written */
		bool duel;       /* the last window drawn is then on the second server */
	} cases[] = {
		{ { "-m2", "B" }, 1, true },                     /* both take the login name */
		{ { "-m2", "B", "-p1", "x", "-p2", "x" }, 1, true },
		{ { "-p1", "" }, 1, false },                     /* equals the unused player's name */
		{ { "-m2", "B", "-p1", "ann", "-p2", "bob" }, 0, true },
		{ { "-p1", "bob" }, 0, false },
		{ {}, 0, false },
	};
	for (const auto &t : cases) {
		std::string where = joined(t.args);
		Display *last = t.duel ? d2_ : d1_;
		Child c = run(t.args);
		// The message comes before the chrome is drawn, in the last window too.
		bool up = wait_for([&] {
			Window w = find_window(last, WINDOW_TITLE);
			return w && layout_drawn(last, w);
		});
		EXPECT_TRUE(up) << where;
		drain_stderr(c);
		EXPECT_EQ(t.announced, count(c.err, DEBUG_MESSAGE)) << where;
		EXPECT_EQ(t.announced ? DEBUG_MESSAGE : "", c.err) << where;
		stop_and_wait_gone(c, { d1_, d2_ });
	}
}

}  // namespace
