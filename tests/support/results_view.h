// Test support for the hiscore view: a text compared pixel by pixel with the same text
// drawn by the test itself, in the game's font and colours, on the same X server.
#pragma once

#include <X11/Xlib.h>

#include <string>

#include "tests/support/x_server.h"

// The game's font on the test's connection; unloaded on destruction.
class GameFont {
public:
	explicit GameFont(Display *d);
	~GameFont();
	GameFont(const GameFont &) = delete;
	GameFont &operator=(const GameFont &) = delete;
	bool ok() const { return font_ != nullptr; }
	int width(const std::string &text) const;

	// Whether the image holds exactly `text` in fg on bg, starting at x on baseline y,
	// over the text's width and the font's height. `why` says where it differs.
	bool shown(const Image &image, int x, int y, const std::string &text, unsigned long fg,
	           unsigned long bg, std::string *why) const;

private:
	Display *d_;
	XFontStruct *font_ = nullptr;
};

// The panel's row of an entry: the name filled to 8 places, a blank, the score in 6.
std::string hiscore_row(const std::string &name, int score);
