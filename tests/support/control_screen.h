// Test support for the start-up and main-loop tests, which run the real program: a
// display name nobody serves, and what a window shows (its chrome, its field, a text
// compared with a fresh rendering in the game's font, see game_text.h).
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/game_text.h"
#include "tests/support/x_server.h"

// Makes X errors of this test process harmless: a window read while the program quits is
// gone, and reading it must fail, not end the test.
void tolerate_x_errors();

// A display name ":N" that no server on this machine answers.
std::string unused_display();

// True while the child runs; reaps it (and forgets its pid) once it has ended.
bool running(Child &c);

// Kills the child if it runs, then waits until none of the displays shows a game window.
void stop_and_wait_gone(Child &c, const std::vector<Display *> &displays);

// Every pixel of the rectangle is `pixel`.
bool area_is(Display *d, Window w, int x, int y, int width, int height, unsigned long pixel);

// The chrome is on screen: the window frame, the own box and the Quit button's bevels.
bool layout_drawn(Display *d, Window w);

// The field area shows one whole piece and nothing else: PIECE_BLOCKS cells painted in
// full (no piece colour is the background grey), every other cell bare.
bool piece_whole(Display *d, Window w);

// Every pixel of the 10 x 20 field area is background.
bool field_hidden(Display *d, Window w);

// Columns left..right of the text line at baseline look exactly as `text`, drawn in the
// game's font in fg at (x, baseline) over bg, would look there.
bool text_shown(Display *d, Window w, const char *text, int x, int baseline, int left,
                int right, unsigned long fg, unsigned long bg);

// The inside of the raised, filled button at button_y shows `label`, centred.
bool button_label_is(Display *d, Window w, int button_y, const char *label);
