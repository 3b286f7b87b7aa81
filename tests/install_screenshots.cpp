// The pictures of the README, taken from the real game under Xvfb: single play, a paused
// game, the hiscore view after a game, and a duel with both windows side by side. The
// moves are planned here on a model of the fields (rows removed, and a duel's border
// moved), from the piece order that the game's seeded generator gives, and sent through
// XTest; after every drop the driver waits until the screen shows the field that the
// model expects. Start with main().
//   dravik_screenshots <game program> <output directory>
// Writes single.ppm, paused.ppm, hiscores.ppm and duel.ppm.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "display/geometry.h"
#include "display/palette.h"
#include "rules/game.h"
#include "rules/pieces.h"
#include "tests/support/x_server.h"

namespace {

const long SINGLE_SEED = 1700000000;   /* the games' clocks: their piece orders */
const long DUEL_SEED = 1700000100;
const int SINGLE_PIECES = 18;          /* planned drops before the first picture */
const int DUEL_PIECES = 12;            /* per player */
const int SETTLED_ROW = 8;    /* rows from here down hold only landed blocks while a
                                 planned stack stays this low; the falling piece is above */
const int STEP_MS = 8000;     /* a drop, a pause, a redraw: at most this long */
const int MAX_FILL_DROPS = 100;
const int DUEL_GAP = 20;      /* white pixels between the two windows of the duel */
const char TITLE[] = "dravik-2.21";

std::string program;

// --- The model of a field: cells by [column][row], CELL_EMPTY or a kind; the field is
// rows 0 to floor. ---

struct Field {
	int cell[BOARD_COLS][BOARD_ROWS];
	int floor = START_FLOOR_ROW;
};

Field empty_field()
{
	Field f;
	for (auto &column : f.cell)
		for (int &c : column)
			c = CELL_EMPTY;
	return f;
}

// Rows first to last, in that order, each take the row `by` rows below it (above it
// when `by` is negative); rows beyond the board read as empty.
void shift_rows(Field &f, int first, int last, int by)
{
	int step = first <= last ? 1 : -1;
	for (int r = first; r != last + step; r += step)
		for (int c = 0; c < BOARD_COLS; c++)
			f.cell[c][r] = r + by >= 0 && r + by < BOARD_ROWS ? f.cell[c][r + by] : CELL_EMPTY;
}

// A duel's border after p removed n rows: p's field grows by n rows at the bottom, its
// blocks sink with it; q's shrinks, its blocks rise.
void move_border(Field &p, Field &q, int n)
{
	p.floor += n;
	q.floor -= n;
	shift_rows(q, 0, q.floor, n);
	shift_rows(p, p.floor, 0, -n);
}

bool fits(const Field &f, int kind, int rotation, int col, int row)
{
	const PieceShape &s = piece_shapes[kind][rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (s[x][y] && (col + x >= BOARD_COLS || row + y > f.floor ||
			                f.cell[col + x][row + y] != CELL_EMPTY))
				return false;
	return true;
}

// Drops the piece from the top, writes it and removes full rows; the rows removed.
int land(Field &f, int kind, int rotation, int col)
{
	int row = 0;
	while (fits(f, kind, rotation, col, row + 1))
		row++;
	const PieceShape &s = piece_shapes[kind][rotation];
	for (int x = 0; x < GRID_SIZE; x++)
		for (int y = 0; y < GRID_SIZE; y++)
			if (s[x][y])
				f.cell[col + x][row + y] = kind;
	int removed = 0;
	for (int r = f.floor; r >= 0;) {
		bool full = true;
		for (int c = 0; c < BOARD_COLS; c++)
			full = full && f.cell[c][r] != CELL_EMPTY;
		if (!full) {
			r--;
			continue;
		}
		shift_rows(f, r, 0, -1);
		removed++;
	}
	return removed;
}

// Free cells below a block.
int holes(const Field &f)
{
	int n = 0;
	for (int c = 0; c < BOARD_COLS; c++)
		for (int r = 0, roof = 0; r <= f.floor; r++) {
			roof = roof || f.cell[c][r] != CELL_EMPTY;
			n += roof && f.cell[c][r] == CELL_EMPTY;
		}
	return n;
}

int column_height(const Field &f, int c)
{
	for (int r = 0; r <= f.floor; r++)
		if (f.cell[c][r] != CELL_EMPTY)
			return f.floor + 1 - r;
	return 0;
}

// The highest column, and the steps between neighbouring columns.
int height(const Field &f)
{
	int h = 0;
	for (int c = 0; c < BOARD_COLS; c++)
		h = std::max(h, column_height(f, c));
	return h;
}

int bumpiness(const Field &f)
{
	int b = 0;
	for (int c = 0; c + 1 < BOARD_COLS; c++)
		b += abs(column_height(f, c) - column_height(f, c + 1));
	return b;
}

struct Placement {
	int rotation, col;
};

// A greedy player: rows removed first, then few holes, a low and even stack, and away
// from the spawn column.
Placement plan(const Field &f, int kind)
{
	Placement best = { 0, SPAWN_COL };
	long best_value = -1000000;
	for (int r = 0; r < ROTATION_COUNT; r++)
		for (int c = 0; c + piece_extents[kind][r].max_col < BOARD_COLS; c++) {
			if (!fits(f, kind, r, c, 0))
				continue;
			Field after = f;
			int removed = land(after, kind, r, c);
			long value = 1000L * removed - 40L * holes(after) - 10L * height(after) -
			             4L * bumpiness(after) - (c == SPAWN_COL);
			if (value > best_value) {
				best_value = value;
				best = { r, c };
			}
		}
	return best;
}

// --- The screen. ---

struct Screen {
	Display *d;
	Window w;
	unsigned long face[KIND_COUNT];
	unsigned long background;
};

Screen open_screen(Display *d)
{
	Screen s = { d, wait_for_window(d, TITLE, STEP_MS), {}, 0 };
	for (int k = 0; k < KIND_COUNT; k++) {
		const Rgb &c = piece_palette[k][COLOR_FACE];
		s.face[k] = rgb_pixel(d, c.red, c.green, c.blue);
	}
	s.background = rgb_pixel(d, GREY_BACKGROUND, GREY_BACKGROUND, GREY_BACKGROUND);
	return s;
}

// The settled rows on screen are the model's; with `blank`, all empty (a paused game).
bool shows(const Screen &s, const Field &f, bool blank = false)
{
	Image image(s.d, s.w);
	if (!image.ok())
		return false;
	for (int c = 0; c < BOARD_COLS; c++)
		for (int r = SETTLED_ROW; r <= f.floor; r++) {
			int code = blank ? CELL_EMPTY : f.cell[c][r];
			unsigned long want = code == CELL_EMPTY ? s.background : s.face[code];
			if (image.at(FIELD_X + CELL_PX * c + CELL_PX / 2,
			             FIELD_Y + CELL_PX * r + CELL_PX / 2) != want)
				return false;
		}
	return true;
}

// The pixels of the game button's label, to tell Pause, Continue and New apart.
std::vector<unsigned long> button_label(const Screen &s)
{
	std::vector<unsigned long> pixels;
	Image image(s.d, s.w);
	for (int y = GAME_BUTTON_Y + 3; image.ok() && y < GAME_BUTTON_Y + BUTTON_HEIGHT - 3; y++)
		for (int x = BUTTON_X + 3; x < BUTTON_X + BUTTON_WIDTH - 3; x++)
			pixels.push_back(image.at(x, y));
	return pixels;
}

// Waits until two looks at the window a tick apart are the same: the game has drawn all
// that it was asked to.
void settle(const Screen &s)
{
	std::vector<unsigned long> before;
	wait_for([&] {
		Image image(s.d, s.w);
		std::vector<unsigned long> now;
		for (int y = 0; image.ok() && y < image.height(); y++)
			for (int x = 0; x < image.width(); x++)
				now.push_back(image.at(x, y));
		bool same = now == before;
		before = now;
		std::this_thread::sleep_for(std::chrono::milliseconds(100));
		return same;
	}, STEP_MS);
}

void press(const Screen &s, unsigned long keysym, int times = 1)
{
	for (int i = 0; i < times; i++)
		press_key(s.d, s.w, keysym);
}

// Turns and shifts the falling piece of `kind` from the spawn place to where the plan
// puts it and drops it; the model lands it too, and in a duel moves the border against
// the opponent's field. False if the screen never showed the expected field.
bool drop(const Screen &s, Field &f, int kind, Field *opponent = nullptr)
{
	Placement p = plan(f, kind);
	press(s, XK_Up, p.rotation);
	press(s, p.col < SPAWN_COL ? XK_Left : XK_Right, abs(p.col - SPAWN_COL));
	press(s, XK_space);
	int removed = land(f, kind, p.rotation, p.col);
	if (removed && opponent)
		move_border(f, *opponent, removed);
	return wait_for([&] { return shows(s, f); }, STEP_MS);
}

void click_game_button(const Screen &s)
{
	click(s.d, s.w, HIT_LEFT, GAME_BUTTON_Y + BUTTON_HEIGHT / 2);
}

// --- Pictures: binary PPM, composed from windows side by side. ---

struct Picture {
	int width = 0, height = 0;
	std::vector<unsigned char> rgb;
};

void add_window(Picture &pic, const Screen &s, int gap)
{
	Image image(s.d, s.w);
	Visual *v = DefaultVisual(s.d, DefaultScreen(s.d));
	int left = pic.width + (pic.width ? gap : 0);
	int width = left + image.width(), height = std::max(pic.height, image.height());
	std::vector<unsigned char> rgb(3 * width * height, 255);
	for (int y = 0; y < pic.height; y++)
		std::copy(&pic.rgb[3 * y * pic.width], &pic.rgb[3 * (y + 1) * pic.width],
		          &rgb[3 * y * width]);
	auto channel = [](unsigned long pixel, unsigned long mask) {
		int shift = 0;
		while (mask && !(mask & 1)) {
			mask >>= 1;
			shift++;
		}
		return (unsigned char)(255 * ((pixel >> shift) & mask) / (mask ? mask : 1));
	};
	for (int y = 0; y < image.height(); y++)
		for (int x = 0; x < image.width(); x++) {
			unsigned long p = image.at(x, y);
			unsigned char *out = &rgb[3 * (y * width + left + x)];
			out[0] = channel(p, v->red_mask);
			out[1] = channel(p, v->green_mask);
			out[2] = channel(p, v->blue_mask);
		}
	pic = { width, height, rgb };
}

bool write_ppm(const std::string &path, const Picture &pic)
{
	FILE *f = fopen(path.c_str(), "wb");
	if (!f) {
		perror(path.c_str());
		return false;
	}
	fprintf(f, "P6\n%d %d\n255\n", pic.width, pic.height);
	fwrite(pic.rgb.data(), 1, pic.rgb.size(), f);
	return fclose(f) == 0;
}

bool fail(const char *what, Child &game)
{
	drain_stderr(game);
	fprintf(stderr, "dravik_screenshots: %s%s%s\n", what, game.err.empty() ? "" : "; the game: ",
	        game.err.c_str());
	stop(game);
	return false;
}

// The piece kinds in the order the game takes them, from the same generator and seed.
std::vector<int> piece_order(long seed, int count)
{
	srandom((unsigned)seed);
	std::vector<int> kinds;
	for (int i = 0; i < count; i++)
		kinds.push_back(random() % KIND_COUNT);
	return kinds;
}

// Single play: a game under way, the same game paused, and the hiscores after it.
bool single_pictures(const std::string &out)
{
	XServer xs;
	Child game = spawn_seeded(program, { "-p1", "zoe" }, xs.name(), SINGLE_SEED);
	Display *d = xs.connect();
	if (!d)
		return fail("no X server", game);
	Screen s = open_screen(d);
	if (!s.w)
		return fail("no game window", game);
	std::vector<int> kinds = piece_order(SINGLE_SEED, SINGLE_PIECES);
	Field f = empty_field();
	for (int kind : kinds)
		if (!drop(s, f, kind))
			return fail("the field never showed the planned drop", game);
	settle(s);
	Picture playing, paused, over;
	add_window(playing, s, 0);
	std::vector<unsigned long> pause_label = button_label(s);

	click_game_button(s);
	if (!wait_for([&] { return shows(s, f, true) && button_label(s) != pause_label; },
	              STEP_MS))
		return fail("the game did not pause", game);
	settle(s);
	add_window(paused, s, 0);
	click_game_button(s);
	if (!wait_for([&] { return shows(s, f) && button_label(s) == pause_label; }, STEP_MS))
		return fail("the game did not continue", game);

	// Pieces dropped where they come fill the field up to the top.
	bool ended = false;
	for (int i = 0; i < MAX_FILL_DROPS && !ended; i++) {
		press(s, XK_space);
		ended = wait_for([&] { return button_label(s) != pause_label; }, 300);
	}
	if (!ended)
		return fail("the game did not end", game);
	settle(s);
	add_window(over, s, 0);
	XCloseDisplay(d);
	stop(game);
	return write_ppm(out + "/single.ppm", playing) && write_ppm(out + "/paused.ppm", paused) &&
	       write_ppm(out + "/hiscores.ppm", over);
}

// A duel on two X servers, the players dropping in turn so that the pieces come to them
// in a known order.
bool duel_picture(const std::string &out)
{
	XServer first, second;
	Child game = spawn_seeded(program, { "-m1", first.name(), "-p1", "anna", "-m2",
	                                     second.name(), "-p2", "bert" },
	                          first.name(), DUEL_SEED);
	Display *d[PLAYER_COUNT] = { first.connect(), second.connect() };
	if (!d[0] || !d[1])
		return fail("no X servers", game);
	Screen s[PLAYER_COUNT] = { open_screen(d[0]), open_screen(d[1]) };
	if (!s[0].w || !s[1].w)
		return fail("no game windows", game);
	std::vector<int> kinds = piece_order(DUEL_SEED, 2 * DUEL_PIECES + 2);
	Field f[PLAYER_COUNT] = { empty_field(), empty_field() };
	int falling[PLAYER_COUNT] = { kinds[0], kinds[1] };
	for (int i = 0; i < 2 * DUEL_PIECES; i++) {
		int p = i % PLAYER_COUNT;
		if (!drop(s[p], f[p], falling[p], &f[opponent(p)]))
			return fail("a field never showed the planned drop", game);
		falling[p] = kinds[i + 2];
	}
	Picture both;
	for (int p = 0; p < PLAYER_COUNT; p++) {
		settle(s[p]);
		add_window(both, s[p], DUEL_GAP);
	}
	XCloseDisplay(d[0]);
	XCloseDisplay(d[1]);
	stop(game);
	return write_ppm(out + "/duel.ppm", both);
}

}  // namespace

int main(int argc, char **argv)
{
	if (argc != 3) {
		fprintf(stderr, "usage: %s <game program> <output directory>\n", argv[0]);
		return 2;
	}
	program = argv[1];
	return single_pictures(argv[2]) && duel_picture(argv[2]) ? 0 : 1;
}
