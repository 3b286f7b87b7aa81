// Each player's X connection, window, graphics context, font and palette.
// open_player sets them up once; close_players releases them at Quit.
#pragma once

#include <X11/X.h>

#include <cstdint>

const char FONT_NAME[] = "-adobe-courier-*-r-*-*-12-*-*-*-*-*-*-*";
const char WINDOW_TITLE[] = "dravik-2.21";
const char DISPLAY_SUFFIX[] = ":0.0";    /* tried after a bare machine name */
// What a window reports, and what the main loop takes from its queue.
const long WINDOW_EVENTS = KeyPressMask | ButtonPressMask | ExposureMask | StructureNotifyMask;

// Opens player last_player + 1 on display_name (null: Xlib's default display) and
// gives him his first piece. REQUIRES: name copied in and two_player set before.
// Any failure prints its message and ends the process.
void open_player(const char *display_name);

// Releases font, graphics context and connection of every opened player.
void close_players();

// Allocates a read-only colour (16-bit channels) in the player's default colormap,
// or ends the process with "can't allocate color".
uint32_t alloc_color(int p, int red, int green, int blue);

// Every coloured drawing selects its colour this way; nothing restores the previous one.
void set_foreground(int p, uint32_t pixel);

// Writes the printf-style message to standard error and ends the process with status.
[[noreturn]] void die(int status, const char *format, ...)
	__attribute__((format(printf, 2, 3)));
