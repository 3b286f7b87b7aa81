// dravik_bench: measures the real program under private Xvfb servers and prints the
// results as Markdown tables: start-up, CPU and memory, X traffic and repaint efficiency.
// To understand the rest, start reading main(), then measure_moves() and MeasureAgent.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/agents.h"
#include "bench/report.h"
#include "bench/session.h"
#include "control/main_loop.h"

namespace {

const char USAGE[] =
	"usage: dravik_bench [--fast] [--runs N] [--minute SECONDS] [--only PART] PROGRAM\n"
	"  PART: startup, traffic, moves, idle or busy; the others are skipped\n";
const unsigned FIRST_SEED = 1000;    /* seeds are searched from here */
const int EXERCISED_KINDS = KIND_COUNT;
const int ATTEMPTS = 3;              /* a measured drive that lost step with the program is run again */
const double KIB_PER_MIB = 1024;
const double PERCENT = 100;

struct Options {
	bool fast = false;
	std::string program;
	int startup_runs = 7;
	int minute_runs = 3;
	double minute = 60;          /* seconds of play per CPU and memory run */
	long idle_ticks = 400;       /* ticks counted per idle traffic figure */
	std::string only;            /* the one part to run, or all */

	bool runs(const char *part) const { return only.empty() || only == part; }
};

// Everything that the fast mode asserts and the full mode reports.
std::vector<std::string> failures;

void fail(const std::string &what)
{
	fprintf(stderr, "dravik_bench: %s\n", what.c_str());
	failures.push_back(what);
}

const char *mode_name(bool duel) { return duel ? "duel" : "single"; }

const char *case_name(Case c)
{
	static const char *const names[CASE_COUNT] = {
		"shift left", "shift right", "turn", "fall by a soft drop", "fall by gravity",
		"landing", "hard drop",
	};
	return names[c];
}

long long now_us()
{
	using namespace std::chrono;
	return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Tells on standard error what runs now, and how long the run has taken so far.
void progress(const char *what, bool duel)
{
	static long long start = now_us();
	double elapsed = (now_us() - start) / 1e6;
	if (what)
		fprintf(stderr, "dravik_bench: %5.1f s: %s, %s\n", elapsed, what, mode_name(duel));
	else
		fprintf(stderr, "dravik_bench: %5.1f s: done\n", elapsed);
}

// A seed whose first pieces for player 0 are of seven different kinds. In a duel the
// second piece dealt is player 1's first.
unsigned choose_seed(bool duel)
{
	for (unsigned seed = FIRST_SEED;; seed++) {
		PieceDealer dealer(seed);
		std::set<int> kinds;
		for (int i = 0; i < EXERCISED_KINDS + (duel ? 1 : 0); i++) {
			int kind = dealer.next();
			if (!(duel && i == 1))
				kinds.insert(kind);
		}
		if ((int)kinds.size() == EXERCISED_KINDS)
			return seed;
	}
}

// Start-up: from exec to the first complete frame.
Spread measure_startup(const Options &o, bool duel)
{
	Rig rig(duel);
	std::vector<double> ms;
	if (!rig.ok()) {
		fail(std::string("no X server for the start-up runs, ") + mode_name(duel));
		return spread(ms);
	}
	for (int i = 0; i < o.startup_runs; i++) {
		Session s(rig, o.program, choose_seed(duel), false);
		double t = s.ok() ? s.wait_first_frame() : -1;
		if (t < 0)
			fail(std::string("no first frame at start-up, ") + mode_name(duel));
		else
			ms.push_back(t);
	}
	return spread(ms);
}

struct MinuteFigures {
	std::vector<double> cpu_percent;
	std::vector<double> peak_mib;
	DriveResult play;   /* summed over the busy runs */
};

// A minute with no key: gravity alone, straight on the server, no proxy.
MinuteFigures measure_idle_minute(const Options &o, bool duel)
{
	MinuteFigures f;
	Rig rig(duel);
	for (int i = 0; i < o.minute_runs && rig.ok(); i++) {
		Session s(rig, o.program, choose_seed(duel), false);
		if (!s.ok() || s.wait_first_frame() < 0) {
			fail(std::string("idle run did not start, ") + mode_name(duel));
			continue;
		}
		double cpu = s.cpu_seconds();
		long long start = now_us();
		usleep((useconds_t)(o.minute * 1e6));
		double wall = (now_us() - start) / 1e6;
		f.cpu_percent.push_back((s.cpu_seconds() - cpu) / wall * PERCENT);
		f.peak_mib.push_back(s.peak_rss_kib() / KIB_PER_MIB);
	}
	return f;
}

// A minute with a key every tick for every player, through xtrace so that the driver
// knows the ticks.
MinuteFigures measure_busy_minute(const Options &o, bool duel)
{
	MinuteFigures f;
	Rig rig(duel);
	for (int i = 0; i < o.minute_runs && rig.ok(); i++) {
		unsigned seed = choose_seed(duel);
		Session s(rig, o.program, seed, true);
		if (!s.ok() || s.wait_first_frame() < 0) {
			fail(std::string("busy run did not start, ") + mode_name(duel));
			continue;
		}
		GameModel m(seed, duel);
		PlayAgent a(s, m, o.minute);
		DriveResult r = drive(s, m, a);
		if (!r.answered || a.wall_seconds() <= 0) {
			fail(std::string("the program stopped answering in busy play, ") + mode_name(duel));
			continue;
		}
		f.cpu_percent.push_back(a.cpu_seconds() / a.wall_seconds() * PERCENT);
		f.peak_mib.push_back(s.peak_rss_kib() / KIB_PER_MIB);
		f.play.ticks += r.ticks;
		f.play.keys += r.keys;
		f.play.landings += r.landings;
		f.play.cleared += r.cleared;
		f.play.games_over += r.games_over;
		f.play.desyncs += r.desyncs;
	}
	return f;
}

struct IdleTraffic {
	double ticks_per_second = 0;
	double requests_per_second = 0, up_per_second = 0, down_per_second = 0;
	double requests_per_quiet_tick = 0;   /* in ticks that paint no cell */
	bool measured = false;
};

// Counts `ticks` ticks of each connection from the present one; figures per display.
IdleTraffic count_idle(Session &s, int players, long ticks)
{
	IdleTraffic f;
	long first = s.trace(0).ticks() + 1;
	for (int p = 0; p < players; p++)
		if (!s.wait_tick(p, first))
			return f;
	long long start = now_us();
	for (long t = first + 1; t <= first + ticks; t++)
		for (int p = 0; p < players; p++)
			if (!s.wait_tick(p, t))
				return f;
	double wall = (now_us() - start) / 1e6;
	Traffic all;
	long quiet = 0, quiet_requests = 0;
	for (int p = 0; p < players; p++)
		for (long t = first; t < first + ticks; t++) {
			const Traffic &g = s.trace(p).group(t);
			all += g;
			if (g.cells == 0) {
				quiet++;
				quiet_requests += g.requests + g.idle_requests;
			}
		}
	f.ticks_per_second = ticks / wall;
	f.requests_per_second = (all.requests + all.idle_requests) / wall / players;
	f.up_per_second = (all.bytes_up + all.idle_bytes) / wall / players;
	f.down_per_second = all.bytes_down / wall / players;
	f.requests_per_quiet_tick = quiet ? (double)quiet_requests / quiet : 0;
	f.measured = true;
	return f;
}

// Idle traffic while playing (gravity only) and while paused.
void measure_idle_traffic(const Options &o, bool duel, IdleTraffic &playing, IdleTraffic &paused)
{
	Rig rig(duel);
	Session s(rig, o.program, choose_seed(duel), true);
	if (!rig.ok() || !s.ok() || s.wait_first_frame() < 0 || !s.wait_tick(0, SETTLE_TICKS)) {
		fail(std::string("idle traffic run did not start, ") + mode_name(duel));
		return;
	}
	int players = duel ? 2 : 1;
	playing = count_idle(s, players, o.idle_ticks);
	s.press(0, NEW_GAME);   /* while a game runs, the game button pauses it */
	s.wait_tick(0, s.trace(0).ticks() + SETTLE_TICKS);
	paused = count_idle(s, players, o.idle_ticks);
	if (!playing.measured || !paused.measured)
		fail(std::string("the program stopped answering in the idle traffic run, ") + mode_name(duel));
}

// The measured moves of one game, driven again if the driver lost step with the program.
std::vector<Sample> measure_moves(const Options &o, bool duel)
{
	MeasurePlan plan;
	if (o.fast)
		plan = duel ? MeasurePlan{1, 1, 1, 0, 0, false}
		            : MeasurePlan{EXERCISED_KINDS, EXERCISED_KINDS, EXERCISED_KINDS, 0, 0, false};
	else
		plan = duel ? MeasurePlan{EXERCISED_KINDS, EXERCISED_KINDS, 30, 1, 3, true}
		            : MeasurePlan{2 * EXERCISED_KINDS, 2 * EXERCISED_KINDS, 40, 2, 5, true};
	unsigned seed = choose_seed(duel);
	for (int attempt = 1; attempt <= ATTEMPTS; attempt++) {
		Rig rig(duel);
		Session s(rig, o.program, seed, true);
		if (!rig.ok() || !s.ok() || s.wait_first_frame() < 0)
			continue;
		GameModel m(seed, duel);
		MeasureAgent a(s, m, plan);
		DriveResult r = drive(s, m, a);
		if (r.answered && r.desyncs == 0)
			return a.samples();
		fprintf(stderr, "dravik_bench: %s moves, attempt %d: %s\n", mode_name(duel), attempt,
		        r.answered ? "the driver lost step with the program" : "the program stopped answering");
	}
	fail(std::string("no clean run of measured moves, ") + mode_name(duel));
	return {};
}

// Rows of the per-move tables.
struct MoveRow {
	const char *label;
	std::function<bool(const Sample &)> holds;
};

const std::vector<MoveRow> &move_rows()
{
	static const std::vector<MoveRow> rows = {
		{"shift by one column", [](const Sample &s) { return s.what == SHIFT_LEFT_CASE || s.what == SHIFT_RIGHT_CASE; }},
		{"turn in place", [](const Sample &s) { return s.what == TURN_CASE; }},
		{"fall by one row, soft drop", [](const Sample &s) { return s.what == FALL_KEY_CASE; }},
		{"fall by one row, gravity", [](const Sample &s) { return s.what == FALL_GRAVITY_CASE; }},
		{"landing, no row cleared, none before", [](const Sample &s) { return s.what == LANDING_CASE && s.cleared == 0 && !s.after_clear; }},
		{"landing, no row cleared, some before", [](const Sample &s) { return s.what == LANDING_CASE && s.cleared == 0 && s.after_clear; }},
		{"landing, rows cleared", [](const Sample &s) { return s.what == LANDING_CASE && s.cleared > 0; }},
		{"hard drop, no row cleared, none before", [](const Sample &s) { return s.what == HARD_DROP_CASE && s.cleared == 0 && !s.after_clear; }},
		{"hard drop, no row cleared, some before", [](const Sample &s) { return s.what == HARD_DROP_CASE && s.cleared == 0 && s.after_clear; }},
		{"hard drop, rows cleared", [](const Sample &s) { return s.what == HARD_DROP_CASE && s.cleared > 0; }},
	};
	return rows;
}

Spread of(const std::vector<Sample> &samples, const MoveRow &r,
          const std::function<double(const Sample &)> &value)
{
	std::vector<double> v;
	for (const auto &s : samples)
		if (r.holds(s))
			v.push_back(value(s));
	return spread(v);
}

std::string count_of(const std::vector<Sample> &samples, const MoveRow &r)
{
	int n = 0;
	for (const auto &s : samples)
		n += r.holds(s);
	return std::to_string(n);
}

void print_traffic(const IdleTraffic idle[2][2], const std::vector<Sample> moves[2])
{
	printf("## X traffic\n\n");
	printf("Counted by xtrace between the program and the server: X protocol bytes, without "
	       "the transport's own overhead. Up is from the program to the server.\n\n");
	printf("### Idle, per display\n\n");
	printf("With no key the piece still falls, a row every %d ticks: those repaints are in the "
	       "per-second figures, and left out of the last column.\n\n", START_FALL_DELAY + 1);
	printf("%s", row({"state", "ticks/s", "requests/s", "bytes/s up", "bytes/s down",
	                  "requests per tick without a repaint"}).c_str());
	printf("%s", rule(6).c_str());
	const char *states[2] = {"playing, no key", "paused"};
	for (int duel = 0; duel <= 1; duel++)
		for (int st = 0; st < 2; st++) {
			const IdleTraffic &f = idle[duel][st];
			char cells[5][32];
			snprintf(cells[0], sizeof cells[0], "%.1f", f.ticks_per_second);
			snprintf(cells[1], sizeof cells[1], "%.1f", f.requests_per_second);
			snprintf(cells[2], sizeof cells[2], "%.0f", f.up_per_second);
			snprintf(cells[3], sizeof cells[3], "%.0f", f.down_per_second);
			snprintf(cells[4], sizeof cells[4], "%.2f", f.requests_per_quiet_tick);
			printf("%s", row({std::string(mode_name(duel)) + ", " + states[st], cells[0],
			                  cells[1], cells[2], cells[3], cells[4]}).c_str());
		}
	printf("\n### Per move, both displays together\n\n");
	printf("Medians, with the spread in brackets where the samples differ; the tick's idle "
	       "point is left out. Down is the key's event and any reply.\n\n");
	printf("%s", row({"move", "single: moves", "requests", "bytes up", "bytes down",
	                  "duel: moves", "requests", "bytes up", "bytes down"}).c_str());
	printf("%s", rule(9).c_str());
	for (const auto &r : move_rows()) {
		std::vector<std::string> cells = {r.label};
		for (int duel = 0; duel <= 1; duel++) {
			cells.push_back(count_of(moves[duel], r));
			cells.push_back(format(of(moves[duel], r, [](const Sample &s) { return (double)s.traffic.requests; }), 0));
			cells.push_back(format(of(moves[duel], r, [](const Sample &s) { return (double)s.traffic.bytes_up; }), 0));
			cells.push_back(format(of(moves[duel], r, [](const Sample &s) { return (double)s.traffic.bytes_down; }), 0));
		}
		printf("%s", row(cells).c_str());
	}
	printf("\n");
}

// "2/2" per sample group: painted over minimum, with ranges where samples differ.
std::string painted_over_minimum(const std::vector<Sample> &group)
{
	if (group.empty())
		return "–";
	std::vector<double> painted, minimum;
	for (const auto &s : group) {
		painted.push_back(s.painted);
		minimum.push_back(s.minimum);
	}
	Spread p = spread(painted), m = spread(minimum);
	auto range = [](const Spread &s) {
		char text[32];
		if (s.low == s.high)
			snprintf(text, sizeof text, "%.0f", s.low);
		else
			snprintf(text, sizeof text, "%.0f–%.0f", s.low, s.high);
		return std::string(text);
	};
	return range(p) + "/" + range(m);
}

void print_repaints(const std::vector<Sample> moves[2])
{
	printf("## Repaint efficiency\n\n");
	printf("Cells painted (16 × 16 and 12 × 12 fills in the field, counted in the X traffic) "
	       "against the cells whose pixels the move changed (the two windows shot before and "
	       "after it), written painted/changed. In a duel both windows count.\n\n");
	printf("### The falling piece's incremental moves, single play, by kind and rotation\n\n");
	const Case cases[] = {SHIFT_LEFT_CASE, SHIFT_RIGHT_CASE, FALL_KEY_CASE, TURN_CASE};
	printf("%s", row({"kind", "rotation", "shift left", "shift right", "fall", "turn to next"}).c_str());
	printf("%s", rule(6).c_str());
	for (int k = 0; k < KIND_COUNT; k++)
		for (int r = 0; r < ROTATION_COUNT; r++) {
			std::vector<std::string> cells = {std::to_string(k), std::to_string(r)};
			for (Case c : cases) {
				std::vector<Sample> group;
				for (const auto &s : moves[0])
					if (s.what == c && s.kind == k && s.rotation == r)
						group.push_back(s);
				cells.push_back(painted_over_minimum(group));
			}
			printf("%s", row(cells).c_str());
		}
	printf("\n### Summary of the incremental moves\n\n");
	printf("%s", row({"game", "moves", "painted exactly the changed cells", "painted more"}).c_str());
	printf("%s", rule(4).c_str());
	for (int duel = 0; duel <= 1; duel++) {
		int n = 0, exact = 0;
		for (const auto &s : moves[duel])
			if (incremental(s.what)) {
				n++;
				exact += s.painted == s.minimum;
			}
		printf("%s", row({mode_name(duel), std::to_string(n), std::to_string(exact),
		                  std::to_string(n - exact)}).c_str());
	}
	printf("\n### Landings\n\n");
	printf("Medians, spread in brackets. A hard drop paints its fall as well as its landing.\n\n");
	printf("%s", row({"move", "single: moves", "painted", "changed", "duel: moves", "painted", "changed"}).c_str());
	printf("%s", rule(7).c_str());
	for (const auto &r : move_rows()) {
		bool landing = false;
		for (int duel = 0; duel <= 1; duel++)
			for (const auto &s : moves[duel])
				landing = landing || (r.holds(s) && !incremental(s.what));
		if (!landing)
			continue;
		std::vector<std::string> cells = {r.label};
		for (int duel = 0; duel <= 1; duel++) {
			cells.push_back(count_of(moves[duel], r));
			cells.push_back(format(of(moves[duel], r, [](const Sample &s) { return (double)s.painted; }), 0));
			cells.push_back(format(of(moves[duel], r, [](const Sample &s) { return (double)s.minimum; }), 0));
		}
		printf("%s", row(cells).c_str());
	}
	printf("\n");
}

// The fast mode's checks on the moves: each incremental move paints exactly the cells it
// changes, and every kind and rotation was tried with every incremental move.
void check_moves(const std::vector<Sample> moves[2], bool fast)
{
	for (int duel = 0; duel <= 1; duel++)
		for (const auto &s : moves[duel])
			if (incremental(s.what) && s.painted != s.minimum) {
				std::ostringstream m;
				m << mode_name(duel) << ": " << case_name(s.what) << " of kind " << s.kind
				  << " in rotation " << s.rotation << " painted " << s.painted
				  << " cells where " << s.minimum << " changed";
				fail(m.str());
			}
	if (!fast)
		return;
	const Case cases[] = {SHIFT_LEFT_CASE, SHIFT_RIGHT_CASE, FALL_KEY_CASE, TURN_CASE};
	for (int k = 0; k < KIND_COUNT; k++)
		for (int r = 0; r < ROTATION_COUNT; r++)
			for (Case c : cases) {
				bool seen = false;
				for (const auto &s : moves[0])
					seen = seen || (s.what == c && s.kind == k && s.rotation == r);
				if (!seen)
					fail(std::string("single: no ") + case_name(c) + " of kind " + std::to_string(k) +
					     " in rotation " + std::to_string(r));
			}
	for (int duel = 0; duel <= 1; duel++)
		if (moves[duel].empty())
			fail(std::string(mode_name(duel)) + ": no measured move");
}

// Idle requests: one point per tick, and one line more while paused.
void check_idle(const IdleTraffic idle[2][2])
{
	const double expected[2] = {1, 2};
	for (int duel = 0; duel <= 1; duel++)
		for (int st = 0; st < 2; st++)
			if (idle[duel][st].measured && idle[duel][st].requests_per_quiet_tick != expected[st])
				fail(std::string(mode_name(duel)) + (st ? ", paused" : ", playing") +
				     ": " + std::to_string(idle[duel][st].requests_per_quiet_tick) +
				     " requests per tick without a repaint");
}

void print_above_minimum(const std::vector<Sample> moves[2], const IdleTraffic idle[2][2])
{
	printf("## Figures above what the design allows\n\n");
	int listed = 0;
	for (int duel = 0; duel <= 1; duel++)
		for (const auto &r : move_rows()) {
			Spread p = of(moves[duel], r, [](const Sample &s) { return (double)s.painted; });
			Spread m = of(moves[duel], r, [](const Sample &s) { return (double)s.minimum; });
			if (p.runs && p.median > m.median) {
				printf("- %s, %s: %.0f cells painted where %.0f changed (medians).\n",
				       mode_name(duel), r.label, p.median, m.median);
				listed++;
			}
		}
	for (int duel = 0; duel <= 1; duel++)
		for (int st = 0; st < 2; st++)
			if (idle[duel][st].measured && idle[duel][st].requests_per_quiet_tick > st + 1) {
				printf("- %s, %s: %.2f requests per tick without a repaint.\n", mode_name(duel),
				       st ? "paused" : "playing", idle[duel][st].requests_per_quiet_tick);
				listed++;
			}
	if (!listed)
		printf("None.\n");
	else
		printf("\nA landing repaints, besides the new piece (erased, then painted: its four "
		       "cells twice), every field cell that differs from the boards as they were at the "
		       "last landing that cleared a row, and the lowest row of the field whole (after a "
		       "clear the two lowest; after a clear in a duel, the rows that the border brought "
		       "and the row above them). Before the "
		       "first clear of a run those boards hold code 0 everywhere, so every empty cell "
		       "differs; after a clear, every block landed since, and every cell that the clear "
		       "moved, differs. A hard drop repaints the piece at every row on its way down "
		       "too. \"None before\" and \"some before\" tell whether any landing of the run had "
		       "cleared a row before the move.\n");
	printf("\n");
}

}  // namespace

int main(int argc, char **argv)
{
	Options o;
	int runs = 0;
	double minute = 0;
	for (int i = 1; i < argc; i++) {
		if (strcmp(argv[i], "--fast") == 0)
			o.fast = true;
		else if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
			runs = atoi(argv[++i]);
		else if (strcmp(argv[i], "--minute") == 0 && i + 1 < argc)
			minute = atof(argv[++i]);
		else if (strcmp(argv[i], "--only") == 0 && i + 1 < argc)
			o.only = argv[++i];
		else if (argv[i][0] != '-' && o.program.empty())
			o.program = argv[i];
		else {
			fputs(USAGE, stderr);
			return 2;
		}
	}
	if (o.program.empty()) {
		fputs(USAGE, stderr);
		return 2;
	}
	if (o.fast) {
		o.startup_runs = 1;
		o.minute_runs = 1;
		o.minute = 1.5;
		o.idle_ticks = 20;
	}
	if (runs > 0)
		o.startup_runs = o.minute_runs = runs;
	if (minute > 0)
		o.minute = minute;
	// A window that is not mapped yet refuses XGetImage; the polls simply try again.
	XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });

	Spread startup[2];
	MinuteFigures idle_minute[2], busy_minute[2];
	IdleTraffic idle[2][2];
	std::vector<Sample> moves[2];
	for (int duel = 0; duel <= 1; duel++) {
		if (o.runs("startup")) {
			progress("start-up", duel);
			startup[duel] = measure_startup(o, duel);
		}
		if (o.runs("traffic")) {
			progress("idle traffic", duel);
			measure_idle_traffic(o, duel, idle[duel][0], idle[duel][1]);
		}
		if (o.runs("moves")) {
			progress("measured moves", duel);
			moves[duel] = measure_moves(o, duel);
		}
		if (o.runs("idle")) {
			progress("idle play", duel);
			idle_minute[duel] = measure_idle_minute(o, duel);
		}
		if (o.runs("busy")) {
			progress("busy play", duel);
			busy_minute[duel] = measure_busy_minute(o, duel);
		}
	}
	progress(nullptr, false);
	if (o.runs("moves"))
		check_moves(moves, o.fast);
	if (o.runs("traffic"))
		check_idle(idle);

	printf("## Start-up\n\n");
	printf("From exec to the first complete frame (every window mapped, its frame drawn and "
	       "every falling piece shown), in milliseconds; straight on the server. The program "
	       "draws the field and the pieces when it takes its first exposure, one event per "
	       "tick of %d ms, and the map notification comes first: the first frame comes in the "
	       "second tick, so two ticks' sleeps are part of each figure.\n\n", TICK_USEC / 1000);
	printf("%s", row({"game", "runs", "median (spread)"}).c_str());
	printf("%s", rule(3).c_str());
	for (int duel = 0; duel <= 1; duel++)
		printf("%s", row({mode_name(duel), std::to_string(startup[duel].runs),
		                  format(startup[duel], 1)}).c_str());

	printf("\n## CPU and memory\n\n");
	printf("CPU time per second of play as a percentage of one core, over %.0f s after the "
	       "first frame; peak resident set (VmHWM) at the end, in MiB. Idle runs talk to the "
	       "server directly; busy runs, a key every tick for every player from a greedy "
	       "player, go through xtrace, by which the driver follows the ticks. Other work on the "
	       "machine inflates CPU time (see the load average above).\n\n", o.minute);
	printf("%s", row({"game", "play", "runs", "CPU %", "peak RSS MiB"}).c_str());
	printf("%s", rule(5).c_str());
	for (int duel = 0; duel <= 1; duel++) {
		const MinuteFigures *figures[2] = {&idle_minute[duel], &busy_minute[duel]};
		for (int busy = 0; busy <= 1; busy++)
			printf("%s", row({mode_name(duel), busy ? "busy" : "idle",
			                  std::to_string(figures[busy]->cpu_percent.size()),
			                  format(spread(figures[busy]->cpu_percent), 2),
			                  format(spread(figures[busy]->peak_mib), 2)}).c_str());
	}
	printf("\nBusy play, all runs: ");
	for (int duel = 0; duel <= 1; duel++) {
		const DriveResult &r = busy_minute[duel].play;
		printf("%s %ld keys in %ld ticks, %ld landings, %ld rows cleared, %ld games over, "
		       "%ld ticks out of step with the driver's model%s",
		       mode_name(duel), r.keys, r.ticks, r.landings, r.cleared, r.games_over,
		       r.desyncs, duel ? ".\n\n" : "; ");
	}

	print_traffic(idle, moves);
	print_repaints(moves);
	print_above_minimum(moves, idle);

	if (!failures.empty()) {
		printf("## Problems met by this run\n\n");
		for (const auto &f : failures)
			printf("- %s\n", f.c_str());
		printf("\n");
	}
	return o.fast && !failures.empty() ? 1 : 0;
}
