// The display tests' rig: a private X server per player, the players opened on them the
// way start-up opens them, and a probe connection per server through which the tests
// paint test fills and read pixels back. Start with start_test_screen.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <string>

#include "rules/game.h"
#include "tests/support/x_server.h"

struct TestScreen {
	std::unique_ptr<XServer> server;
	Display *probe = nullptr;    /* the tests' own connection to that server */
	GC gc = nullptr;             /* the probe's graphics context, for test fills */
	unsigned long sentinel = 0;  /* a colour of no palette: marks pixels nothing drew */
};

// Indexed like the players: player p is opened on test_screens[p].
extern TestScreen test_screens[PLAYER_COUNT];

// Starts player p's server at depth with its probe; false if Xvfb refuses the depth.
bool start_test_screen(int p, int depth);

// Opens players 0 .. count - 1 on their servers under the given names, as start-up does
// (two_player and the names first), and waits for each window's first exposure.
// REQUIRES: their servers started; called once per process.
bool open_test_players(int count, const char *const names[]);

// Closes the probes and stops the servers; the players' connections die with them.
void stop_test_screens();

// Fills a rectangle of p's window through the probe and waits until the server drew it.
void probe_fill(int p, int x, int y, int width, int height, unsigned long pixel);

// Covers the whole of p's window with the sentinel.
void cover_with_sentinel(int p);

// Waits until the server has drawn all that every player's connection sent, then reads
// back the whole of p's window.
std::unique_ptr<Image> snapshot(int p);

// Puts the global state that the drawing reads back to a running game's: not paused,
// not over, no debug mode, both floor_rows at the start.
void reset_drawing_state();

// What is wrong with p's window as the window manager and a client see it: its size,
// position and border, its title, its size hints, the events it selects, its background
// and border colours. "" when all is right.
std::string window_faults(int p, int height);

// Differences between p's palette and the colours allocated anew on his display: the
// three greys, and each kind's light edge, face and dark edge. "" when all agree.
// REQUIRES: a display deep enough for colour pieces.
std::string full_palette_faults(int p);
