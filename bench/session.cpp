// Servers, the program, and the tick loop. The program takes at most one event per tick,
// after its gravity step; a key sent just after a tick's idle point has been seen reaches
// it before the next tick's look at its queue, and so is taken in that next tick.
#include "bench/session.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "bench/screen.h"
#include "display/connection.h"
#include "display/geometry.h"
#include "display/palette.h"

namespace {

const int WINDOW_WAIT_MS = 10000;
const int FRAME_WAIT_MS = 10000;
const int TICK_WAIT_MS = 5000;
const int FRAME_POLL_USEC = 500;
// A key goes this long after the tick's idle point was seen: long after the program
// looked at its queue in that tick, long before it looks again in the next one.
const int KEY_DELAY_USEC = 5000;
const int GAME_BUTTON_CLICK_X = BUTTON_X + BUTTON_WIDTH / 2;
const int GAME_BUTTON_CLICK_Y = GAME_BUTTON_Y + BUTTON_HEIGHT / 2;

long long now_us()
{
	using namespace std::chrono;
	return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Rig::Rig(bool duel) : last_player_(duel ? 1 : 0)
{
	for (int p = 0; p <= last_player_; p++) {
		servers_[p].reset(new XServer());
		displays_[p] = servers_[p]->connect();
		if (displays_[p])
			background_[p] = rgb_pixel(displays_[p], GREY_BACKGROUND, GREY_BACKGROUND,
			                           GREY_BACKGROUND);
	}
}

Rig::~Rig()
{
	for (int p = 0; p <= last_player_; p++)
		if (displays_[p])
			XCloseDisplay(displays_[p]);
}

bool Rig::ok() const
{
	for (int p = 0; p <= last_player_; p++)
		if (!displays_[p])
			return false;
	return true;
}

Session::Session(Rig &rig, const std::string &program, unsigned seed, bool traced)
	: rig_(rig), seed_(seed)
{
	std::string shown[PLAYER_COUNT];
	for (int p = 0; p <= rig.last_player(); p++) {
		shown[p] = rig.name(p);
		if (traced) {
			traces_[p].reset(new XTrace(rig.name(p)));
			if (!traces_[p]->ok())
				return;
			shown[p] = traces_[p]->name();
		}
	}
	std::vector<std::string> args = {"-m1", shown[0], "-p1", "anna"};
	if (rig.last_player() == 1)
		args.insert(args.end(), {"-m2", shown[1], "-p2", "bert"});
	started_us_ = now_us();
	child_ = spawn_seeded(program, args, shown[0], seed);
	ok_ = child_.pid > 0;
}

Session::~Session()
{
	stop(child_);
	for (int p = 0; p <= rig_.last_player(); p++)
		wait_for([&] { return find_window(rig_.display(p), WINDOW_TITLE) == 0; }, WINDOW_WAIT_MS);
}

double Session::wait_first_frame()
{
	PieceDealer dealer(seed_);
	int kinds[PLAYER_COUNT];
	for (int p = 0; p <= rig_.last_player(); p++)
		kinds[p] = dealer.next();

	// xtrace stops the program when its dump is not read: read it while waiting.
	auto read_traces = [&] {
		for (int p = 0; p <= rig_.last_player(); p++)
			if (traces_[p])
				traces_[p]->read_available();
	};
	long long deadline = now_us() + FRAME_WAIT_MS * 1000LL;
	for (int p = 0; p <= rig_.last_player(); p++)
		while (!(windows_[p] = find_window(rig_.display(p), WINDOW_TITLE))) {
			if (now_us() > deadline)
				return -1;
			read_traces();
			usleep(FRAME_POLL_USEC);
		}
	for (;;) {
		read_traces();
		bool complete = true;
		for (int w = 0; w <= rig_.last_player() && complete; w++)
			for (int p = 0; p <= rig_.last_player() && complete; p++)
				complete = piece_shows(rig_.display(w), windows_[w], rig_.background(w),
				                       kinds[p], 0, SPAWN_COL, SPAWN_ROW, p != w);
		long long now = now_us();
		if (complete)
			return (now - started_us_) / 1000.0;
		if (now > deadline)
			return -1;
		usleep(FRAME_POLL_USEC);
	}
}

double Session::cpu_seconds() const
{
	// Nanoseconds on a CPU, where the kernel keeps them; else the clock ticks of stat.
	std::ifstream schedstat("/proc/" + std::to_string(child_.pid) + "/schedstat");
	unsigned long long ns;
	if (schedstat >> ns)
		return ns / 1e9;
	std::ifstream stat("/proc/" + std::to_string(child_.pid) + "/stat");
	std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
	size_t close = text.rfind(')');
	if (close == std::string::npos)
		return -1;
	std::istringstream fields(text.substr(close + 2));
	std::string field;
	unsigned long long utime = 0, stime = 0;
	for (int i = 3; fields >> field; i++) {   /* field 3 is the state */
		if (i == 14)
			utime = std::stoull(field);
		if (i == 15) {
			stime = std::stoull(field);
			break;
		}
	}
	return (double)(utime + stime) / sysconf(_SC_CLK_TCK);
}

long Session::peak_rss_kib() const
{
	std::ifstream status("/proc/" + std::to_string(child_.pid) + "/status");
	std::string line;
	while (std::getline(status, line))
		if (line.compare(0, 6, "VmHWM:") == 0)
			return std::stol(line.substr(6));
	return -1;
}

bool Session::wait_tick(int p, long tick)
{
	long long deadline = now_us() + TICK_WAIT_MS * 1000LL;
	XTrace &t = *traces_[p];
	while (t.ticks() < tick) {
		long long left = (deadline - now_us()) / 1000;
		if (left <= 0)
			return false;
		struct pollfd pfd = {t.fd(), POLLIN, 0};
		if (poll(&pfd, 1, (int)left) > 0 && !t.read_available())
			return false;
	}
	return true;
}

void Session::press(int p, Move m)
{
	if (m == NEW_GAME)
		click(rig_.display(p), windows_[p], GAME_BUTTON_CLICK_X, GAME_BUTTON_CLICK_Y);
	else if (m != NO_KEY)
		press_key(rig_.display(p), windows_[p], move_keysym(m));
}

DriveResult drive(Session &s, GameModel &m, Agent &a)
{
	DriveResult r;
	Move keys[PLAYER_COUNT] = {NO_KEY, NO_KEY};   /* taken in tick t */
	std::vector<bool> painted(1, false);

	for (long t = 1;; t++) {
		for (int p = 0; p <= m.last_player(); p++)
			if (!s.wait_tick(p, t)) {
				r.answered = false;
				return r;
			}
		bool was_over = m.over();
		TickEvents events[PLAYER_COUNT];
		m.tick(keys, events);
		r.ticks = t;
		painted.push_back(false);
		for (int p = 0; p <= m.last_player(); p++) {
			painted[t] = painted[t] || events[p].painted;
			r.landings += events[p].cleared >= 0;
			r.cleared += events[p].cleared > 0 ? events[p].cleared : 0;
		}
		r.games_over += !was_over && m.over();
		// Tick t - 1 is complete on connection 0 now that tick t has begun there.
		if (t - 1 > SETTLE_TICKS && painted[t - 1] != (s.trace(0).group(t - 1).cells > 0)) {
			fprintf(stderr, "dravik_bench: tick %ld: the model %s, the program painted %ld cells\n",
			        t - 1, painted[t - 1] ? "painted" : "did not paint", s.trace(0).group(t - 1).cells);
			r.desyncs++;
		}

		Move next[PLAYER_COUNT] = {NO_KEY, NO_KEY};
		if (!a.next(t, events, next))
			return r;
		usleep(KEY_DELAY_USEC);
		// Once the program has begun the next tick, a key would be taken a tick late.
		s.trace(0).read_available();
		if (s.trace(0).ticks() > t && (next[0] != NO_KEY || next[1] != NO_KEY)) {
			r.late++;
			next[0] = next[1] = NO_KEY;
			a.keys_dropped();
		}
		for (int p = 0; p <= m.last_player(); p++) {
			s.press(p, next[p]);
			r.keys += next[p] != NO_KEY;
			keys[p] = next[p];
		}
	}
}
