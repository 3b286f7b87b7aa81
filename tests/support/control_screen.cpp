// Servers, children and screen checks for the tests that run the real program.
#include "tests/support/control_screen.h"

#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "display/connection.h"
#include "display/geometry.h"
#include "display/palette.h"
#include "rules/game.h"

namespace {

const int FIRST_UNUSED_CANDIDATE = 900, LAST_UNUSED_CANDIDATE = 999;
const int FIELD_WIDTH = BOARD_COLS * CELL_PX;
const int FIELD_HEIGHT = (START_FLOOR_ROW + 1) * CELL_PX;

bool exists(const std::string &path)
{
	struct stat st;
	return stat(path.c_str(), &st) == 0;
}

// Pixels of a rectangle of any drawable, row by row; empty if it cannot be read.
std::vector<unsigned long> read_area(Display *d, Drawable w, int x, int y, int width,
                                     int height)
{
	std::vector<unsigned long> pixels;
	XImage *image = XGetImage(d, w, x, y, width, height, AllPlanes, ZPixmap);
	if (!image)
		return pixels;
	for (int j = 0; j < height; j++)
		for (int i = 0; i < width; i++)
			pixels.push_back(XGetPixel(image, i, j));
	XDestroyImage(image);
	return pixels;
}

// Whether w's rectangle reads as the same rectangle of a pixmap filled with bg, on which
// text was drawn in fg at (x, baseline) in the game's font.
bool matches_rendering(Display *d, Window w, const char *text, int x, int baseline, int left,
                       int top, int width, int height, unsigned long fg, unsigned long bg)
{
	XFontStruct *font = XLoadQueryFont(d, FONT_NAME);
	if (!font)
		return false;
	int screen = DefaultScreen(d);
	Pixmap pm = XCreatePixmap(d, RootWindow(d, screen), left + width, top + height,
	                          DefaultDepth(d, screen));
	GC gc = XCreateGC(d, pm, 0, nullptr);
	XSetForeground(d, gc, bg);
	XFillRectangle(d, pm, gc, 0, 0, left + width, top + height);
	XSetFont(d, gc, font->fid);
	XSetForeground(d, gc, fg);
	XDrawString(d, pm, gc, x, baseline, text, strlen(text));
	std::vector<unsigned long> expected = read_area(d, pm, left, top, width, height);
	XFreeGC(d, gc);
	XFreePixmap(d, pm);
	XFreeFont(d, font);
	std::vector<unsigned long> shown = read_area(d, w, left, top, width, height);
	return !expected.empty() && shown == expected;
}

}  // namespace

static int ignore_error(Display *, XErrorEvent *)
{
	return 0;
}

void tolerate_x_errors()
{
	XSetErrorHandler(ignore_error);
}

std::string unused_display()
{
	for (int n = FIRST_UNUSED_CANDIDATE; n <= LAST_UNUSED_CANDIDATE; n++) {
		std::string number = std::to_string(n);
		if (!exists("/tmp/.X11-unix/X" + number) && !exists("/tmp/.X" + number + "-lock"))
			return ":" + number;
	}
	return "";
}

bool running(Child &c)
{
	if (c.pid <= 0)
		return false;
	if (waitpid(c.pid, nullptr, WNOHANG) == 0)
		return true;
	c.pid = -1;
	return false;
}

void stop_and_wait_gone(Child &c, const std::vector<Display *> &displays)
{
	stop(c);
	wait_for([&] {
		for (Display *d : displays)
			if (find_window(d, WINDOW_TITLE))
				return false;
		return true;
	});
}

Greys greys(Display *d)
{
	return { rgb_pixel(d, GREY_LIGHT, GREY_LIGHT, GREY_LIGHT),
	         rgb_pixel(d, GREY_BACKGROUND, GREY_BACKGROUND, GREY_BACKGROUND),
	         rgb_pixel(d, GREY_DARK, GREY_DARK, GREY_DARK) };
}

bool area_is(Display *d, Window w, int x, int y, int width, int height, unsigned long pixel)
{
	std::vector<unsigned long> pixels = read_area(d, w, x, y, width, height);
	if (pixels.empty())
		return false;
	for (unsigned long v : pixels)
		if (v != pixel)
			return false;
	return true;
}

bool layout_drawn(Display *d, Window w)
{
	Greys g = greys(d);
	return pixel_at(d, w, 0, 0) == g.light                      /* window frame, raised */
	       && pixel_at(d, w, BOX_X, BOX_Y) == g.dark              /* own box, sunk */
	       && pixel_at(d, w, BUTTON_X, QUIT_Y) == g.light         /* Quit button, raised */
	       && pixel_at(d, w, BUTTON_X + BUTTON_WIDTH - 1, QUIT_Y + BUTTON_HEIGHT - 1) == g.dark;
}

bool piece_whole(Display *d, Window w)
{
	std::vector<unsigned long> pixels =
		read_area(d, w, FIELD_X, FIELD_Y, FIELD_WIDTH, FIELD_HEIGHT);
	if (pixels.empty())
		return false;
	unsigned long background = greys(d).background;
	int painted_cells = 0;
	for (int row = 0; row <= START_FLOOR_ROW; row++)
		for (int col = 0; col < BOARD_COLS; col++) {
			int painted = 0;
			for (int y = row * CELL_PX; y < (row + 1) * CELL_PX; y++)
				for (int x = col * CELL_PX; x < (col + 1) * CELL_PX; x++)
					painted += pixels[y * FIELD_WIDTH + x] != background;
			if (painted == CELL_PX * CELL_PX)
				painted_cells++;
			else if (painted != 0)
				return false;
		}
	return painted_cells == PIECE_BLOCKS;
}

bool field_hidden(Display *d, Window w)
{
	return area_is(d, w, FIELD_X, FIELD_Y, FIELD_WIDTH, FIELD_HEIGHT, greys(d).background);
}

bool text_shown(Display *d, Window w, const char *text, int x, int baseline, int left,
                int right, unsigned long fg, unsigned long bg)
{
	XFontStruct *font = XLoadQueryFont(d, FONT_NAME);
	if (!font)
		return false;
	int top = baseline - font->ascent, height = font->ascent + font->descent;
	XFreeFont(d, font);
	return matches_rendering(d, w, text, x, baseline, left, top, right - left + 1, height, fg,
	                         bg);
}

bool button_label_is(Display *d, Window w, int button_y, const char *label)
{
	XFontStruct *font = XLoadQueryFont(d, FONT_NAME);
	if (!font)
		return false;
	int text_width = XTextWidth(font, label, strlen(label));
	XFreeFont(d, font);
	Greys g = greys(d);
	// The whole inside of the button, within its two-pixel bevel.
	return matches_rendering(d, w, label, BUTTON_X + (BUTTON_WIDTH - text_width) / 2,
	                         button_y + LABEL_BASELINE, BUTTON_X + 2, button_y + 2,
	                         BUTTON_WIDTH - 4, BUTTON_HEIGHT - 4, g.dark, g.background);
}
