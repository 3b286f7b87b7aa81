// The play loop. Each pass reads the window once and takes one decision: wait, send
// one key, or note a finished game. A key is followed by watching until the screen
// shows it taken; whatever the screen shows that the bot did not expect (gravity, a
// rising field, a new piece) makes it plan again from what it sees.
#include "bot/player.h"

#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bot/keys.h"
#include "bot/levels.h"
#include "bot/look.h"
#include "bot/screen.h"

namespace {

const int WINDOW_POLL_MS = 100;    /* while there is no window, or the game is not played */
// Between reads while a piece is moved: well inside the game's 50 ms tick, so that each
// key is seen taken and the next one sent before the next tick.
const int PLAY_POLL_MS = 10;
const int KEY_TIMEOUT_MS = 300;    /* a key not shown by then was refused or lost */
const int DROP_TIMEOUT_MS = 800;   /* a hard drop not shown by then: look afresh */
// A window shown again is blank until the game redraws it, and a read may fall in
// between: a piece missing for no longer than this is looked for again, not forgotten
// (forgotten, the bot waits for the next piece, which gravity lands only slowly).
const int PIECE_MISSING_MS = 500;
const int NEW_GAME_PAUSE_MS = 1000;
// Before Quit: the other window of a duel may show the end a few ticks later, and a
// bot playing there must see it before the game goes away.
const int QUIT_PAUSE_MS = 1000;
const int BUTTON_CLICK_X = BUTTON_LEFT + BUTTON_W / 2;

long now_ms()
{
	timespec t;
	clock_gettime(CLOCK_MONOTONIC, &t);
	return t.tv_sec * 1000L + t.tv_nsec / 1000000L;
}

void sleep_ms(int ms)
{
	usleep(ms * 1000);
}

int quit_quietly(Display *)
{
	exit(0);
}

struct Bot {
	Options options;
	Level level;
	Reader reader;
	Keyboard keyboard;
	Rng rng;

	int games;             /* finished games */
	int rows;              /* rows cleared in this game by the bot's own landings */
	bool playing_seen;     /* this game was seen running */

	bool have_piece;       /* `piece` is the falling piece as last seen */
	Placement piece;
	long piece_seen_time;  /* when `piece` was last found where it should be */
	bool have_target;
	Target target;
	Grid planned_on;       /* the settled field the target was chosen on */

	bool key_pending;      /* a shift or turn was sent and not yet seen */
	BotKey key_sent;
	Placement before_key, after_key;
	long key_time;

	bool drop_pending;     /* a hard drop was sent and not yet seen */
	Grid after_drop;       /* the settled field it should leave */
	int drop_rows;
	long drop_time;

	long next_key_time;    /* no key before this: the level's thinking and key rate */
};

bool same_grid(const Grid &a, const Grid &b)
{
	return a.rows == b.rows && memcmp(a.line, b.line, sizeof a.line[0] * a.rows) == 0;
}

void forget_piece(Bot &b)
{
	b.have_piece = b.have_target = b.key_pending = b.drop_pending = false;
}

void new_piece(Bot &b, const Placement &p, long now)
{
	b.piece = p;
	b.have_piece = true;
	b.piece_seen_time = now;
	b.have_target = false;
	b.key_pending = false;
	b.next_key_time = now + b.level.think_ms;
}

// The piece is not where it should be: forgotten once it has been missing for a while.
void piece_missing(Bot &b, long now)
{
	if (now - b.piece_seen_time > PIECE_MISSING_MS)
		forget_piece(b);
}

// A hard drop shows as the field it should leave, with or without the next piece.
void watch_drop(Bot &b, const View &s, long now)
{
	Placement next;
	bool spawned = find_spawned(s, &next);
	Grid seen = settled_grid(s, spawned ? &next : nullptr);
	if (same_from_floor(seen, b.after_drop) ||
	    (spawned && same_from_floor(settled_grid(s, nullptr), b.after_drop))) {
		b.rows += b.drop_rows;
		b.drop_pending = false;
		if (spawned)
			new_piece(b, next, now);
	} else if (now - b.drop_time > DROP_TIMEOUT_MS) {
		// The drop was lost (the focus moved as it was sent): a piece still falling near
		// where it was is played on; gravity would take half a minute to land it.
		b.drop_pending = false;
		Placement seen;
		if (find_near(s, b.piece, &seen)) {
			b.piece = seen;
			b.piece_seen_time = now;
			b.have_piece = true;
			b.have_target = false;
		}
	}
}

// After a shift or turn: taken, still waiting, or something else happened.
void watch_key(Bot &b, const View &s, long now)
{
	Placement seen;
	if (!find_near(s, b.after_key, &seen)) {
		piece_missing(b, now);   /* landed by gravity, or lost: wait for the next new piece */
		return;
	}
	b.piece_seen_time = now;
	int kind = seen.kind, looks = distinct_rotations(kind);
	int rot = canonical_rotation(kind, seen.rotation);
	bool at_after = rot == b.after_key.rotation && seen.col == b.after_key.col;
	bool at_before = rot == canonical_rotation(kind, b.before_key.rotation) &&
	                 seen.col == b.before_key.col;
	b.piece = seen;
	if (at_after) {
		b.key_pending = false;
		return;
	}
	if (at_before && now - b.key_time <= KEY_TIMEOUT_MS)
		return;
	b.key_pending = false;
	b.have_target = false;
	// A turn the other way round: the game's turning keys are swapped.
	if ((b.key_sent == KEY_TURN_UP || b.key_sent == KEY_TURN_DOWN) && looks == BOT_ROTATIONS &&
	    seen.col == b.before_key.col && !at_before)
		b.keyboard.sense = -b.keyboard.sense;
}

bool overlap(const Placement &a, const Placement &b)
{
	const BotShape &sa = bot_shape(a.kind, a.rotation), &sb = bot_shape(b.kind, b.rotation);
	for (int y = 0; y <= sa.max_row; y++)
		for (int x = 0; x <= sa.max_col; x++) {
			int bx = a.col + x - b.col, by = a.row + y - b.row;
			if (shape_has(sa, x, y) && bx >= 0 && by >= 0 && bx < SHAPE_ROWS &&
			    by < SHAPE_ROWS && shape_has(sb, bx, by))
				return true;
		}
	return false;
}

// Gravity may land the piece while the bot is slower than the game: its blocks keep
// their colour, so it still shows where it was. A new piece at the spawn, apart from
// it, while it rests, tells that it has landed.
bool landed_meanwhile(const Bot &b, const View &s, Placement *next)
{
	if (!find_spawned(s, next) || overlap(*next, b.piece))
		return false;
	Grid g = settled_grid(s, &b.piece);
	return fits_at(g, b.piece) && drop_row(g, b.piece) == b.piece.row;
}

void play(Bot &b, const View &s, long now)
{
	if (b.options.row_limit > 0 && b.rows >= b.options.row_limit && !b.drop_pending)
		return;   /* done with this game: gravity ends it */
	if (b.drop_pending) {
		watch_drop(b, s, now);
		if (b.drop_pending || !b.have_piece)
			return;
	}
	Placement next;
	if (!b.have_piece) {
		if (find_spawned(s, &next))
			new_piece(b, next, now);
		return;
	}
	if (landed_meanwhile(b, s, &next)) {
		new_piece(b, next, now);
		return;
	}
	if (b.key_pending) {
		watch_key(b, s, now);
		if (b.key_pending || !b.have_piece)
			return;
	} else {
		Placement seen;
		if (!find_near(s, b.piece, &seen)) {
			piece_missing(b, now);
			return;
		}
		b.piece = seen;
		b.piece_seen_time = now;
	}
	Grid g = settled_grid(s, &b.piece);
	if (b.have_target && !same_grid(g, b.planned_on))
		b.have_target = false;
	if (!b.have_target) {
		if (!choose_target(g, b.piece, b.level.style, b.rng, &b.target))
			return;
		b.have_target = true;
		b.planned_on = g;
	}
	if (now < b.next_key_time)
		return;
	BotKey key = next_key(g, b.piece, b.target.rotation, b.target.col);
	if (key == KEY_NONE) {
		b.have_target = false;
		return;
	}
	send_key(b.keyboard, key);
	b.next_key_time = now + b.level.key_ms;
	if (key == KEY_DROP) {
		Placement landing = b.piece;
		landing.row = drop_row(g, b.piece);
		b.after_drop = g;
		b.drop_rows = land_on(b.after_drop, landing);
		b.drop_pending = true;
		b.drop_time = now;
		b.have_piece = false;
		return;
	}
	b.key_sent = key;
	b.before_key = b.piece;
	b.after_key = b.piece;
	b.after_key.rotation = canonical_rotation(b.piece.kind, b.piece.rotation);
	key_moves(b.piece.kind, key, b.after_key.rotation, b.piece.col, &b.after_key.rotation,
	          &b.after_key.col);
	b.key_pending = true;
	b.key_time = now;
}

// A game has ended. Returns true when the bot is done.
bool game_finished(Bot &b)
{
	b.games++;
	printf("game %d: %d rows\n", b.games, b.rows);
	fflush(stdout);
	b.rows = 0;
	const Options &o = b.options;
	if ((o.games > 0 && b.games >= o.games) || (o.games == 0 && o.quit)) {
		if (o.quit) {
			sleep_ms(QUIT_PAUSE_MS);
			click_at(b.keyboard, BUTTON_CLICK_X, QUIT_TOP + BUTTON_H / 2);
		}
		return true;
	}
	return false;
}

void start_next_game(Bot &b)
{
	sleep_ms(NEW_GAME_PAUSE_MS);
	View s;
	// Somebody may have pressed New meanwhile; a second click would pause the game.
	if (read_screen(b.reader, &s) && s.button == BUTTON_OVER)
		click_at(b.keyboard, BUTTON_CLICK_X, GAME_BUTTON_TOP + BUTTON_H / 2);
}

Window wait_for_window(Display *d)
{
	while (true) {
		Window w = find_game_window(d);
		if (w)
			return w;
		sleep_ms(WINDOW_POLL_MS);
	}
}

bool window_exists(Bot &b)
{
	XWindowAttributes a;
	XSync(b.reader.display, False);
	return XGetWindowAttributes(b.reader.display, b.reader.window, &a) != 0;
}

}  // namespace

int run_bot(const Options &o)
{
	Display *d = XOpenDisplay(o.display);
	if (!d) {
		fprintf(stderr, "dravik-bot: cannot open display %s\n", XDisplayName(o.display));
		return 1;
	}
	XSetIOErrorHandler(quit_quietly);
	static Bot b;   /* large fields; one per process */
	memset(&b, 0, sizeof b);
	b.options = o;
	b.level = level_settings(o.level);
	b.rng.state = ((uint64_t)now_ms() * 2654435761u ^ (uint64_t)getpid() << 32) | 1u;
	Window w = wait_for_window(d);
	if (!open_reader(b.reader, d, w))
		return 0;
	if (!open_keyboard(b.keyboard, d, w)) {
		fprintf(stderr, "dravik-bot: the display has no XTest or lacks the game's keys\n");
		return 1;
	}
	ButtonState last = BUTTON_UNKNOWN;
	while (true) {
		View s;
		if (!read_screen(b.reader, &s)) {
			if (!window_exists(b))
				return 0;
			sleep_ms(PLAY_POLL_MS);
			continue;
		}
		long now = now_ms();
		if (s.button == BUTTON_PLAYING) {
			b.playing_seen = true;
			play(b, s, now);
			last = s.button;
			sleep_ms(PLAY_POLL_MS);
			continue;
		}
		if (s.button == BUTTON_OVER && b.playing_seen) {
			b.playing_seen = false;
			forget_piece(b);
			if (game_finished(b))
				return 0;
			if (o.new_games)
				start_next_game(b);
		} else if (s.button == BUTTON_OVER && last == BUTTON_UNKNOWN && o.new_games)
			start_next_game(b);   /* started on a finished game: not one of its own */
		if (s.button == BUTTON_PAUSED)
			b.key_pending = false;   /* keys are dropped while paused */
		last = s.button;
		sleep_ms(WINDOW_POLL_MS);
	}
}
