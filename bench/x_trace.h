// The X traffic of one connection, counted outside the program: the Debian `xtrace`
// proxy stands between the program and a real server, and its dump is read line by line.
// The game's idle point, drawn once per tick, cuts the dump into ticks. Start with XTrace.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// What crossed one connection in a stretch of time.
struct Traffic {
	long requests = 0;       /* requests from the program, its idle points left out */
	long bytes_up = 0;       /* their bytes */
	long bytes_down = 0;     /* bytes of replies, events and errors to the program */
	long cells = 0;          /* field cells painted: 16 x 16 and 12 x 12 fills */
	long idle_requests = 0;  /* requests that carry idle points */
	long idle_bytes = 0;

	Traffic &operator+=(const Traffic &o);
};

class XTrace {
public:
	// Starts xtrace on a free display number, forwarding to real_display.
	explicit XTrace(const std::string &real_display);
	~XTrace();
	XTrace(const XTrace &) = delete;
	XTrace &operator=(const XTrace &) = delete;

	bool ok() const { return pid_ > 0 && !name_.empty(); }
	const std::string &name() const { return name_; }   /* ":N", the display to give the program */
	int fd() const { return fd_; }

	// Reads and counts whatever xtrace has written. False once xtrace has gone.
	bool read_available();

	// Idle points seen so far: the ticks of the connection's player.
	long ticks() const { return (long)groups_.size() - 1; }
	// The traffic after idle point `tick` and before the next one; tick 0 is everything
	// before the first idle point.
	const Traffic &group(long tick) const { return groups_[tick]; }
	// The traffic of ticks first..last, both included, within what has been seen.
	Traffic span(long first, long last) const;

private:
	void count_line(const std::string &line);

	pid_t pid_ = -1;
	int fd_ = -1;
	int number_ = -1;
	std::string name_;
	std::string partial_;
	std::vector<Traffic> groups_ = std::vector<Traffic>(1);
};
