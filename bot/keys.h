// The bot's hands: key presses and button clicks sent through XTest to the game's
// window on the bot's own display. Start with open_keyboard.
#pragma once

#include <X11/Xlib.h>

#include "bot/search.h"

struct Keyboard {
	Display *display;
	Window window;
	KeyCode left, right;          /* shift one column */
	KeyCode turn_plus, turn_minus;   /* the game's c and v: rotation +sense and -sense */
	KeyCode drop;                 /* hard drop */
	int sense;                    /* +1 while c turns the piece to rotation + 1, else -1 */
};

// Looks up the key codes. False when the server lacks XTest or one of the keys.
bool open_keyboard(Keyboard &k, Display *d, Window w);

// Gives the window the focus and presses and releases the key that does `key`; turns
// follow k.sense.
// REQUIRES: key is not KEY_NONE.
void send_key(const Keyboard &k, BotKey key);

// Clicks mouse button 1 at window pixel (x, y).
void click_at(const Keyboard &k, int x, int y);
