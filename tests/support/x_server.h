// Test support for everything that needs X: a private Xvfb server per fixture, the
// real program run as a child, pixels read back, and XTest key presses and clicks.
#pragma once

#include <X11/Xlib.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// A private Xvfb on a free display number, with the core fonts; stopped on destruction.
class XServer {
public:
	// depth: 1, 4, 8, 16 or 24. font_path: the server's only font directory, or "" for
	// the usual ones.
	explicit XServer(int depth = 24, int width = 640, int height = 720,
	                 const std::string &font_path = "");
	~XServer();
	XServer(const XServer &) = delete;
	XServer &operator=(const XServer &) = delete;

	const std::string &name() const { return name_; }   /* ":N" */
	Display *connect() const;                            /* a new connection, or null */

private:
	pid_t pid_ = -1;
	std::string name_;
};

// Polls `done` every 10 ms until it holds or timeout_ms have passed; returns its last value.
bool wait_for(const std::function<bool()> &done, int timeout_ms = 10000);

// A child process with its standard error captured.
struct Child {
	pid_t pid = -1;
	int stderr_fd = -1;
	std::string err;   /* what it has written to standard error so far */
};

// Starts program with args (argv[0] is program), $DISPLAY set to display ("" unsets it).
Child spawn(const std::string &program, const std::vector<std::string> &args,
            const std::string &display);

// Like spawn, with the program's clock fixed at `seed` seconds: its pieces then come in
// the order that srandom(seed) and random() % 7 give.
Child spawn_seeded(const std::string &program, const std::vector<std::string> &args,
                   const std::string &display, long seed);

// Waits up to timeout_ms for the child to end; returns its exit status, or -1 if it was
// still running (it is then killed). Collects its standard error.
int finish(Child &c, int timeout_ms = 10000);

// Reads whatever the child has written to standard error since the last call.
void drain_stderr(Child &c);

// Kills the child if it runs and reaps it.
void stop(Child &c);

// The top-level window titled `title`, or 0.
Window find_window(Display *d, const char *title);

// Waits until a window titled `title` is mapped, returns it, or 0 after timeout_ms.
Window wait_for_window(Display *d, const char *title, int timeout_ms = 10000);

// A snapshot of a window's pixels.
class Image {
public:
	Image(Display *d, Window w);   /* the whole window */
	~Image();
	Image(const Image &) = delete;
	Image &operator=(const Image &) = delete;
	bool ok() const { return image_ != nullptr; }
	unsigned long at(int x, int y) const;
	int width() const { return width_; }
	int height() const { return height_; }

private:
	XImage *image_ = nullptr;
	int width_ = 0, height_ = 0;
};

// One pixel of a window.
unsigned long pixel_at(Display *d, Window w, int x, int y);

// The pixel value of an exact colour (16-bit channels) in the default colormap.
unsigned long rgb_pixel(Display *d, int red, int green, int blue);

// XTest: moves the pointer to window pixel (x, y) and presses and releases button.
void click(Display *d, Window w, int x, int y, unsigned button = 1);

// XTest: presses and releases the key that yields keysym (with Shift if needed), with the
// pointer in w so that the key goes to it.
void press_key(Display *d, Window w, unsigned long keysym);

// The program built for the tests, whose games directory is the tests' own.
const char *program_under_test();
