// XTest events: a key press and release per key, a pointer move and a click per button.
#include "bot/keys.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

// The game's keys; the letters stand in when a server has no arrow keys.
KeyCode code_of(Display *d, KeySym first, KeySym second)
{
	KeyCode c = XKeysymToKeycode(d, first);
	return c ? c : XKeysymToKeycode(d, second);
}

}  // namespace

bool open_keyboard(Keyboard &k, Display *d, Window w)
{
	int event_base, error_base, major, minor;
	if (!XTestQueryExtension(d, &event_base, &error_base, &major, &minor))
		return false;
	k.display = d;
	k.window = w;
	k.left = code_of(d, XK_Left, XK_a);
	k.right = code_of(d, XK_Right, XK_d);
	k.turn_plus = code_of(d, XK_c, XK_c);
	k.turn_minus = code_of(d, XK_v, XK_v);
	k.drop = code_of(d, XK_space, XK_x);
	k.sense = 1;
	return k.left && k.right && k.turn_plus && k.turn_minus && k.drop;
}

void send_key(const Keyboard &k, BotKey key)
{
	KeyCode c = k.drop;
	switch (key) {
	case KEY_LEFT:
		c = k.left;
		break;
	case KEY_RIGHT:
		c = k.right;
		break;
	case KEY_TURN_UP:
		c = k.sense > 0 ? k.turn_plus : k.turn_minus;
		break;
	case KEY_TURN_DOWN:
		c = k.sense > 0 ? k.turn_minus : k.turn_plus;
		break;
	default:
		break;
	}
	// The focus again before every key: hiding and showing the window, or another
	// client, may have moved it, and a key must reach the game and nothing else.
	XSetInputFocus(k.display, k.window, RevertToPointerRoot, CurrentTime);
	XTestFakeKeyEvent(k.display, c, True, CurrentTime);
	XTestFakeKeyEvent(k.display, c, False, CurrentTime);
	XFlush(k.display);
}

void click_at(const Keyboard &k, int x, int y)
{
	Window root = DefaultRootWindow(k.display), child;
	int rx, ry;
	if (!XTranslateCoordinates(k.display, k.window, root, x, y, &rx, &ry, &child))
		return;
	XTestFakeMotionEvent(k.display, DefaultScreen(k.display), rx, ry, CurrentTime);
	XTestFakeButtonEvent(k.display, 1, True, CurrentTime);
	XTestFakeButtonEvent(k.display, 1, False, CurrentTime);
	// Synced: a bot that exits right after clicking Quit must not take the click with it.
	XSync(k.display, False);
}
