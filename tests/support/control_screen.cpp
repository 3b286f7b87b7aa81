// Servers, children and screen checks for the tests that run the real program.
#include "tests/support/control_screen.h"

#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "display/connection.h"
#include "display/geometry.h"
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
	GameColors g = game_colors(d);
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
	unsigned long background = game_colors(d).background;
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
	unsigned long background = game_colors(d).background;
	return area_is(d, w, FIELD_X, FIELD_Y, FIELD_WIDTH, FIELD_HEIGHT, background);
}

bool text_shown(Display *d, Window w, const char *text, int x, int baseline, int left,
                int right, unsigned long fg, unsigned long bg)
{
	GameText font(d);
	Image image(d, w);
	return font.shows(image, font.line(left, right, baseline), text, x, baseline, fg, bg);
}

bool button_label_is(Display *d, Window w, int button_y, const char *label)
{
	GameText font(d);
	Image image(d, w);
	GameColors g = game_colors(d);
	return font.button_shows(image, button_y, label, g.dark, g.background);
}
