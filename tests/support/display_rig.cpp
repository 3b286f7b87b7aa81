// Servers, probes and players for the display tests.
#include "tests/support/display_rig.h"

#include <X11/Xutil.h>

#include <cstring>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/palette.h"

TestScreen test_screens[PLAYER_COUNT];

// An olive green that no grey and no piece colour comes near.
const int SENTINEL_RED = 20000, SENTINEL_GREEN = 30000, SENTINEL_BLUE = 10000;

bool start_test_screen(int p, int depth)
{
	TestScreen &s = test_screens[p];

	s.server.reset(new XServer(depth));
	s.probe = s.server->connect();
	if (!s.probe) {
		s.server.reset();
		return false;
	}
	s.gc = XCreateGC(s.probe, DefaultRootWindow(s.probe), 0, nullptr);
	s.sentinel = rgb_pixel(s.probe, SENTINEL_RED, SENTINEL_GREEN, SENTINEL_BLUE);
	return true;
}

static bool first_exposure(int p)
{
	XEvent e;
	return XCheckWindowEvent(players[p].display, players[p].window, ExposureMask, &e);
}

bool open_test_players(int count, const char *const names[])
{
	two_player = count > 1;
	for (int p = 0; p < count; p++) {
		strncpy(players[p].name, names[p], NAME_SIZE - 1);
		open_player(test_screens[p].server->name().c_str());
		players[p].rotate_sense = 1;
	}
	for (int p = 0; p < count; p++)
		if (!wait_for([p] { return first_exposure(p); }))
			return false;
	return true;
}

void stop_test_screens()
{
	for (TestScreen &s : test_screens) {
		if (s.probe) {
			XFreeGC(s.probe, s.gc);
			XCloseDisplay(s.probe);
			s.probe = nullptr;
		}
		s.server.reset();
	}
}

void probe_fill(int p, int x, int y, int width, int height, unsigned long pixel)
{
	TestScreen &s = test_screens[p];

	XSetForeground(s.probe, s.gc, pixel);
	XFillRectangle(s.probe, players[p].window, s.gc, x, y, width, height);
	XSync(s.probe, False);
}

void cover_with_sentinel(int p)
{
	probe_fill(p, 0, 0, WINDOW_WIDTH, DUEL_HEIGHT, test_screens[p].sentinel);
}

std::unique_ptr<Image> snapshot(int p)
{
	for (int q = 0; q <= last_player; q++)
		XSync(players[q].display, False);
	return std::unique_ptr<Image>(new Image(test_screens[p].probe, players[p].window));
}

void reset_drawing_state()
{
	paused = 0;
	game_over = 0;
	debug_mode = 0;
	loser_index = 0;
	for (Player &pl : players)
		pl.floor_row = START_FLOOR_ROW;
}

std::string window_faults(int p, int height)
{
	Display *d = test_screens[p].probe;
	Window w = players[p].window;
	std::string faults;
	auto expect = [&faults](bool ok, const std::string &what) {
		if (!ok)
			faults += what + "; ";
	};

	XWindowAttributes a;
	XGetWindowAttributes(d, w, &a);
	expect(a.width == WINDOW_WIDTH && a.height == height,
	       "size " + std::to_string(a.width) + " x " + std::to_string(a.height));
	expect(a.x == 0 && a.y == 0, "not at the root's corner");
	expect(a.border_width == WINDOW_BORDER, "border " + std::to_string(a.border_width));
	expect(a.map_state == IsViewable, "not viewable");

	char *title = nullptr;
	expect(XFetchName(d, w, &title) && title && strcmp(title, "dravik-2.21") == 0,
	       std::string("title ") + (title ? title : "(none)"));
	if (title)
		XFree(title);

	XSizeHints hints;
	long supplied;
	expect(XGetWMNormalHints(d, w, &hints, &supplied), "no normal hints");
	expect(hints.flags == (PPosition | PSize | PMinSize | PMaxSize | PResizeInc),
	       "hint flags " + std::to_string(hints.flags));
	expect(hints.min_width == WINDOW_WIDTH && hints.min_height == height, "minimum size");
	expect(hints.max_width == WINDOW_WIDTH && hints.max_height == height, "maximum size");
	expect(hints.width_inc == 1 && hints.height_inc == 1, "resize increments");

	XWindowAttributes own;
	XGetWindowAttributes(players[p].display, w, &own);
	expect(own.your_event_mask ==
	           (KeyPressMask | ButtonPressMask | ExposureMask | StructureNotifyMask),
	       "selected events");

	XClearWindow(d, w);
	expect(pixel_at(d, w, 0, 0) == players[p].color_background, "background");
	// Without a window manager the window's border is the root's top-left corner.
	expect(pixel_at(d, DefaultRootWindow(d), 0, 0) == WhitePixel(d, DefaultScreen(d)),
	       "border colour");
	return faults;
}

std::string full_palette_faults(int p)
{
	Display *d = test_screens[p].probe;
	const Player &pl = players[p];
	std::string faults;
	auto expect = [&](uint32_t got, const Rgb &want, const std::string &what) {
		if (got != rgb_pixel(d, want.red, want.green, want.blue))
			faults += what + "; ";
	};
	const char *shades[] = { "light edge", "face", "dark edge" };

	expect(pl.color_light, { GREY_LIGHT, GREY_LIGHT, GREY_LIGHT }, "light grey");
	expect(pl.color_background, { GREY_BACKGROUND, GREY_BACKGROUND, GREY_BACKGROUND },
	       "background grey");
	expect(pl.color_dark, { GREY_DARK, GREY_DARK, GREY_DARK }, "dark grey");
	for (int k = 0; k < KIND_COUNT; k++)
		for (int shade = 0; shade < 3; shade++)
			expect(pl.piece_colors[k][shade], piece_palette[k][shade],
			       "kind " + std::to_string(k) + " " + shades[shade]);
	return faults;
}
