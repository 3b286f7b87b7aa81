// Opening a player's display: connection, font, palette, window and graphics context,
// in the order in which their failures can happen.
#include "display/connection.h"

#include <X11/Xutil.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "display/geometry.h"
#include "display/palette.h"
#include "rules/game.h"

void die(int status, const char *format, ...)
{
	va_list ap;

	va_start(ap, format);
	vfprintf(stderr, format, ap);
	va_end(ap);
	exit(status);
}

uint32_t alloc_color(int p, int red, int green, int blue)
{
	Player &pl = players[p];
	XColor c;

	c.red = red;
	c.green = green;
	c.blue = blue;
	c.flags = DoRed | DoGreen | DoBlue;
	if (!XAllocColor(pl.display, DefaultColormap(pl.display, pl.screen), &c))
		die(0, "can't allocate color\n");
	return c.pixel;
}

void set_foreground(int p, uint32_t pixel)
{
	XGCValues v;

	v.foreground = pixel;
	XChangeGC(players[p].display, players[p].gc, GCForeground, &v);
}

// A bare machine name fails on its own; the same name with a screen suffix may work.
static Display *connect(const char *display_name)
{
	Display *d = XOpenDisplay(display_name);
	if (d)
		return d;
	if (!display_name)
		d = XOpenDisplay(nullptr);
	else {
		// As long as the name needs: a machine name may have up to 253 characters.
		char *extended = (char *)malloc(strlen(display_name) + sizeof DISPLAY_SUFFIX);
		if (extended) {
			strcpy(extended, display_name);
			strcat(extended, DISPLAY_SUFFIX);
			d = XOpenDisplay(extended);
			free(extended);
		}
	}
	if (!d)   /* without a name, the one Xlib used: the environment's */
		die(0, "Can't open %s's display\n", XDisplayName(display_name));
	return d;
}

static void set_window_properties(const Player &pl, int height)
{
	char title[sizeof WINDOW_TITLE];
	char *titles[] = { title };
	XTextProperty window_name;
	XSizeHints hints = {};

	memcpy(title, WINDOW_TITLE, sizeof title);
	if (!XStringListToTextProperty(titles, 1, &window_name))
		die(0, "structure allocation for windowName failed.\n");
	// One fixed size: minimum and maximum are the window's own.
	hints.flags = PPosition | PSize | PMinSize | PMaxSize | PResizeInc;
	hints.x = 0;
	hints.y = 0;
	hints.width = hints.min_width = hints.max_width = WINDOW_WIDTH;
	hints.height = hints.min_height = hints.max_height = height;
	hints.width_inc = hints.height_inc = 1;
	XSetWMProperties(pl.display, pl.window, &window_name, nullptr, nullptr, 0, &hints,
	                 nullptr, nullptr);
	XFree(window_name.value);
}

void open_player(const char *display_name)
{
	Display *display = connect(display_name);
	int p = ++last_player;
	Player &pl = players[p];

	pl.display = display;
	pl.font = XLoadQueryFont(display, FONT_NAME);
	if (!pl.font)
		die(-1, "Cannot open %s font\n", FONT_NAME);
	pl.screen = DefaultScreen(display);
	pl.depth = DefaultDepth(display, pl.screen);
	int height = two_player ? DUEL_HEIGHT : SINGLE_HEIGHT;
	uint32_t black = BlackPixel(display, pl.screen);
	uint32_t white = WhitePixel(display, pl.screen);

	if (pl.depth <= DEPTH_NO_GREYS) {
		pl.color_light = black;
		pl.color_background = white;
		pl.color_dark = black;
	} else {
		pl.color_light = alloc_color(p, GREY_LIGHT, GREY_LIGHT, GREY_LIGHT);
		pl.color_background = alloc_color(p, GREY_BACKGROUND, GREY_BACKGROUND, GREY_BACKGROUND);
		pl.color_dark = alloc_color(p, GREY_DARK, GREY_DARK, GREY_DARK);
	}

	pl.window = XCreateSimpleWindow(display, RootWindow(display, pl.screen), 0, 0,
	                                WINDOW_WIDTH, height, WINDOW_BORDER, white,
	                                pl.color_background);
	set_window_properties(pl, height);
	XSelectInput(display, pl.window, WINDOW_EVENTS);
	pl.gc = XCreateGC(display, pl.window, 0, nullptr);
	XSetFont(display, pl.gc, pl.font->fid);
	XSetForeground(display, pl.gc, black);
	XMapWindow(display, pl.window);

	for (int k = 0; k < KIND_COUNT; k++)
		for (int shade = 0; shade < 3; shade++) {
			const Rgb &c = piece_palette[k][shade];
			if (pl.depth <= DEPTH_NO_COLORS)
				pl.piece_colors[k][shade] = shade == COLOR_FACE ? white : black;
			else
				pl.piece_colors[k][shade] = alloc_color(p, c.red, c.green, c.blue);
		}

	start_player(p);
}

void close_players()
{
	for (int p = 0; p <= last_player; p++) {
		XUnloadFont(players[p].display, players[p].font->fid);
		XFreeGC(players[p].display, players[p].gc);
		XCloseDisplay(players[p].display);
	}
}
