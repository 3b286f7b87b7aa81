// Xvfb servers, child processes, pixels and XTest input for the tests.
#include "tests/support/x_server.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

const int SERVER_START_MS = 15000;

long long now_ms()
{
	using namespace std::chrono;
	return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

XServer::XServer(int depth, int width, int height, const std::string &font_path)
{
	int fds[2];
	if (pipe(fds) != 0)
		return;
	pid_ = fork();
	if (pid_ == 0) {
		prctl(PR_SET_PDEATHSIG, SIGTERM);   /* a test killed on timeout takes its server along */
		close(fds[0]);
		int devnull = open("/dev/null", O_RDWR);
		dup2(devnull, 1);
		dup2(devnull, 2);
		std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x" +
		                     std::to_string(depth);
		std::string fd = std::to_string(fds[1]);
		std::vector<const char *> argv = { "Xvfb", "-displayfd", fd.c_str(), "-screen", "0",
		                                   screen.c_str(), "-nolisten", "tcp", "-noreset",
		                                   "-ac" };
		if (!font_path.empty()) {
			argv.push_back("-fp");
			argv.push_back(font_path.c_str());
		}
		argv.push_back(nullptr);
		execvp("Xvfb", const_cast<char **>(argv.data()));
		_exit(127);
	}
	close(fds[1]);
	// Xvfb writes its display number once it accepts connections.
	std::string number;
	long long deadline = now_ms() + SERVER_START_MS;
	struct pollfd pfd = { fds[0], POLLIN, 0 };
	while (now_ms() < deadline && poll(&pfd, 1, 100) >= 0) {
		if (!(pfd.revents & (POLLIN | POLLHUP)))
			continue;
		char c;
		if (read(fds[0], &c, 1) != 1 || c == '\n')
			break;
		number += c;
	}
	close(fds[0]);
	if (!number.empty())
		name_ = ":" + number;
}

XServer::~XServer()
{
	if (pid_ > 0) {
		kill(pid_, SIGTERM);
		waitpid(pid_, nullptr, 0);
	}
}

Display *XServer::connect() const
{
	return name_.empty() ? nullptr : XOpenDisplay(name_.c_str());
}

bool wait_for(const std::function<bool()> &done, int timeout_ms)
{
	long long deadline = now_ms() + timeout_ms;
	for (;;) {
		if (done())
			return true;
		if (now_ms() >= deadline)
			return false;
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	}
}

static Child start_child(const std::string &program, const std::vector<std::string> &args,
                         const std::string &display, const char *seed)
{
	Child c;
	int fds[2];
	if (pipe(fds) != 0)
		return c;
	c.pid = fork();
	if (c.pid == 0) {
		prctl(PR_SET_PDEATHSIG, SIGKILL);
		close(fds[0]);
		dup2(fds[1], 2);
		int devnull = open("/dev/null", O_RDWR);
		dup2(devnull, 0);
		dup2(devnull, 1);
		if (seed) {
			setenv("LD_PRELOAD", DRAVIK_FIXED_TIME, 1);
			setenv("DRAVIK_TEST_TIME", seed, 1);
		}
		if (display.empty())
			unsetenv("DISPLAY");
		else
			setenv("DISPLAY", display.c_str(), 1);
		std::vector<char *> argv;
		argv.push_back(const_cast<char *>(program.c_str()));
		for (const auto &a : args)
			argv.push_back(const_cast<char *>(a.c_str()));
		argv.push_back(nullptr);
		execv(program.c_str(), argv.data());
		_exit(127);
	}
	close(fds[1]);
	fcntl(fds[0], F_SETFL, O_NONBLOCK);
	c.stderr_fd = fds[0];
	return c;
}

Child spawn(const std::string &program, const std::vector<std::string> &args,
            const std::string &display)
{
	return start_child(program, args, display, nullptr);
}

Child spawn_seeded(const std::string &program, const std::vector<std::string> &args,
                   const std::string &display, long seed)
{
	std::string s = std::to_string(seed);
	return start_child(program, args, display, s.c_str());
}

void drain_stderr(Child &c)
{
	char buf[4096];
	ssize_t n;
	while (c.stderr_fd >= 0 && (n = read(c.stderr_fd, buf, sizeof buf)) > 0)
		c.err.append(buf, n);
}

int finish(Child &c, int timeout_ms)
{
	int status = 0;
	bool ended = wait_for([&] {
		drain_stderr(c);
		return waitpid(c.pid, &status, WNOHANG) == c.pid;
	}, timeout_ms);
	if (!ended) {
		stop(c);
		return -1;
	}
	drain_stderr(c);
	close(c.stderr_fd);
	c.stderr_fd = -1;
	c.pid = -1;
	return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void stop(Child &c)
{
	if (c.pid > 0) {
		kill(c.pid, SIGKILL);
		waitpid(c.pid, nullptr, 0);
		c.pid = -1;
	}
	drain_stderr(c);
	if (c.stderr_fd >= 0) {
		close(c.stderr_fd);
		c.stderr_fd = -1;
	}
}

Window find_window(Display *d, const char *title)
{
	Window root_return, parent, *children = nullptr;
	unsigned n = 0;
	Window found = 0;

	if (!XQueryTree(d, DefaultRootWindow(d), &root_return, &parent, &children, &n))
		return 0;
	for (unsigned i = 0; i < n && !found; i++) {
		char *name = nullptr;
		if (XFetchName(d, children[i], &name) && name) {
			if (strcmp(name, title) == 0)
				found = children[i];
			XFree(name);
		}
	}
	if (children)
		XFree(children);
	return found;
}

Window wait_for_window(Display *d, const char *title, int timeout_ms)
{
	Window w = 0;
	wait_for([&] {
		w = find_window(d, title);
		XWindowAttributes a;
		return w && XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
	}, timeout_ms);
	return w;
}

Image::Image(Display *d, Window w)
{
	XWindowAttributes a;
	if (!XGetWindowAttributes(d, w, &a))
		return;
	width_ = a.width;
	height_ = a.height;
	image_ = XGetImage(d, w, 0, 0, width_, height_, AllPlanes, ZPixmap);
}

Image::~Image()
{
	if (image_)
		XDestroyImage(image_);
}

unsigned long Image::at(int x, int y) const
{
	return XGetPixel(image_, x, y);
}

unsigned long pixel_at(Display *d, Window w, int x, int y)
{
	XImage *image = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
	if (!image)
		return ~0ul;
	unsigned long v = XGetPixel(image, 0, 0);
	XDestroyImage(image);
	return v;
}

unsigned long rgb_pixel(Display *d, int red, int green, int blue)
{
	XColor c = {};
	c.red = red;
	c.green = green;
	c.blue = blue;
	c.flags = DoRed | DoGreen | DoBlue;
	if (!XAllocColor(d, DefaultColormap(d, DefaultScreen(d)), &c))
		return ~0ul;
	return c.pixel;
}

static void move_pointer(Display *d, Window w, int x, int y)
{
	int rx, ry;
	Window child;
	XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y, &rx, &ry, &child);
	XTestFakeMotionEvent(d, DefaultScreen(d), rx, ry, CurrentTime);
	XSync(d, False);
}

void click(Display *d, Window w, int x, int y, unsigned button)
{
	move_pointer(d, w, x, y);
	XTestFakeButtonEvent(d, button, True, CurrentTime);
	XTestFakeButtonEvent(d, button, False, CurrentTime);
	XSync(d, False);
}

void press_key(Display *d, Window w, unsigned long keysym)
{
	const int NEUTRAL_X = 270, NEUTRAL_Y = 250;   /* inside the window, on no button */
	KeyCode code = XKeysymToKeycode(d, keysym);
	bool shifted = XkbKeycodeToKeysym(d, code, 0, 0) != keysym;
	KeyCode shift = XKeysymToKeycode(d, XK_Shift_L);

	move_pointer(d, w, NEUTRAL_X, NEUTRAL_Y);
	if (shifted)
		XTestFakeKeyEvent(d, shift, True, CurrentTime);
	XTestFakeKeyEvent(d, code, True, CurrentTime);
	XTestFakeKeyEvent(d, code, False, CurrentTime);
	if (shifted)
		XTestFakeKeyEvent(d, shift, False, CurrentTime);
	XSync(d, False);
}

const char *program_under_test()
{
	return DRAVIK_PROGRAM;
}
