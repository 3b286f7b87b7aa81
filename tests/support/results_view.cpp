// Texts of the hiscore view drawn again into a pixmap and compared with the window.
#include "tests/support/results_view.h"

#include <X11/Xutil.h>

#include <cstdio>

#include "display/connection.h"

GameFont::GameFont(Display *d) : d_(d)
{
	font_ = XLoadQueryFont(d, FONT_NAME);
}

GameFont::~GameFont()
{
	if (font_)
		XFreeFont(d_, font_);
}

int GameFont::width(const std::string &text) const
{
	return XTextWidth(font_, text.c_str(), text.size());
}

bool GameFont::shown(const Image &image, int x, int y, const std::string &text,
                     unsigned long fg, unsigned long bg, std::string *why) const
{
	int w = width(text), h = font_->ascent + font_->descent;
	int top = y - font_->ascent;
	if (x < 0 || top < 0 || x + w > image.width() || top + h > image.height()) {
		*why = "outside the window";
		return false;
	}
	Window root = DefaultRootWindow(d_);
	Pixmap pixmap = XCreatePixmap(d_, root, w, h, DefaultDepth(d_, DefaultScreen(d_)));
	GC gc = XCreateGC(d_, pixmap, 0, nullptr);
	XSetFont(d_, gc, font_->fid);
	XSetForeground(d_, gc, bg);
	XFillRectangle(d_, pixmap, gc, 0, 0, w, h);
	XSetForeground(d_, gc, fg);
	XDrawString(d_, pixmap, gc, 0, font_->ascent, text.c_str(), text.size());
	XImage *want = XGetImage(d_, pixmap, 0, 0, w, h, AllPlanes, ZPixmap);
	XFreeGC(d_, gc);
	XFreePixmap(d_, pixmap);

	bool same = want != nullptr;
	for (int j = 0; same && j < h; j++)
		for (int i = 0; same && i < w; i++)
			if (XGetPixel(want, i, j) != image.at(x + i, top + j)) {
				char where[96];
				snprintf(where, sizeof where, "\"%s\" differs at window pixel (%d, %d)",
				         text.c_str(), x + i, top + j);
				*why = where;
				same = false;
			}
	if (want)
		XDestroyImage(want);
	return same;
}

std::string hiscore_row(const std::string &name, int score)
{
	char row[64];
	snprintf(row, sizeof row, "%-8s %6i", name.c_str(), score);
	return row;
}
