// Running xtrace and reading its dump. A line of the dump reads
//   "000:<:0064:1620: Request(70): PolyFillRectangle drawable=... rectangles={x=10 ...},..."
// (connection, direction, sequence number, length in bytes, then the decoded message);
// events have no length field and are always 32 bytes.
#include "bench/x_trace.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/geometry.h"
#include "rules/game.h"

namespace {

const int FIRST_DISPLAY = 50, LAST_DISPLAY = 999;   /* where a free number is looked for */
const int START_WAIT_MS = 10000;
const int PIPE_BYTES = 1 << 20;
const int EVENT_BYTES = 32;                          /* events and errors */
const int FACE_PX = CELL_PX - 4;                     /* the face of a block cell */
const int FIELD_RIGHT = FIELD_X + BOARD_COLS * CELL_PX;

std::string lock_path(int n) { return "/tmp/.X" + std::to_string(n) + "-lock"; }
std::string socket_path(int n) { return "/tmp/.X11-unix/X" + std::to_string(n); }

bool exists(const std::string &path)
{
	struct stat st;
	return stat(path.c_str(), &st) == 0;
}

// A lock left by a process that has gone, with its socket: an X server would take the
// number over, and so may the driver.
void remove_stale_lock(int n)
{
	FILE *f = fopen(lock_path(n).c_str(), "r");
	int pid;
	if (!f)
		return;
	bool stale = fscanf(f, "%d", &pid) == 1 && pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
	fclose(f);
	if (stale) {
		unlink(socket_path(n).c_str());
		unlink(lock_path(n).c_str());
	}
}

// Takes display number n the way X servers do, with a lock file naming a live process,
// so that no server started meanwhile picks the same number.
bool take_number(int n)
{
	remove_stale_lock(n);
	if (exists(socket_path(n)))
		return false;
	int fd = open(lock_path(n).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0444);
	if (fd < 0)
		return false;
	char pid[16];
	int length = snprintf(pid, sizeof pid, "%10d\n", (int)getpid());
	bool written = write(fd, pid, length) == length;
	close(fd);
	if (!written)
		unlink(lock_path(n).c_str());
	return written;
}

// The field cells among the rectangles of a PolyFillRectangle line.
long count_cells(const std::string &line)
{
	long cells = 0;
	size_t at = line.find("rectangles={");
	while (at != std::string::npos) {
		int x, y, w, h;
		at = line.find("{x=", at + 1);
		if (at == std::string::npos ||
		    sscanf(line.c_str() + at, "{x=%d y=%d w=%d h=%d}", &x, &y, &w, &h) != 4)
			break;
		bool empty_cell = w == CELL_PX && h == CELL_PX;
		bool block_face = w == FACE_PX && h == FACE_PX;
		if ((empty_cell || block_face) && x >= FIELD_X && x < FIELD_RIGHT)
			cells++;
	}
	return cells;
}

}  // namespace

Traffic &Traffic::operator+=(const Traffic &o)
{
	requests += o.requests;
	bytes_up += o.bytes_up;
	bytes_down += o.bytes_down;
	cells += o.cells;
	idle_requests += o.idle_requests;
	idle_bytes += o.idle_bytes;
	return *this;
}

XTrace::XTrace(const std::string &real_display)
{
	for (int n = FIRST_DISPLAY; n <= LAST_DISPLAY && number_ < 0; n++)
		if (take_number(n))
			number_ = n;
	if (number_ < 0)
		return;
	int fds[2];
	if (pipe(fds) != 0)
		return;
	std::string fake = ":" + std::to_string(number_);
	pid_ = fork();
	if (pid_ == 0) {
		prctl(PR_SET_PDEATHSIG, SIGTERM);   /* it keeps running otherwise, should the driver die */
		close(fds[0]);
		int devnull = open("/dev/null", O_RDWR);
		dup2(devnull, 0);
		dup2(fds[1], 1);
		dup2(devnull, 2);
		execlp("xtrace", "xtrace", "--nocopyauthentication", "--keeprunning",
		       "--maxlistlength", "1000000", "-d", real_display.c_str(), "-D", fake.c_str(),
		       (char *)nullptr);
		_exit(127);
	}
	close(fds[1]);
	fd_ = fds[0];
	fcntl(fd_, F_SETFL, O_NONBLOCK);
	fcntl(fd_, F_SETPIPE_SZ, PIPE_BYTES);   /* a whole redraw fits while the driver is busy */
	for (int waited = 0; waited < START_WAIT_MS; waited += 10) {
		if (exists(socket_path(number_))) {
			name_ = fake;
			return;
		}
		if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
			pid_ = -1;
			return;
		}
		usleep(10000);
	}
}

XTrace::~XTrace()
{
	if (pid_ > 0) {
		kill(pid_, SIGTERM);
		waitpid(pid_, nullptr, 0);
	}
	if (fd_ >= 0)
		close(fd_);
	if (number_ >= 0) {
		unlink(socket_path(number_).c_str());
		unlink(lock_path(number_).c_str());
	}
}

bool XTrace::read_available()
{
	char buf[65536];
	for (;;) {
		ssize_t n = read(fd_, buf, sizeof buf);
		if (n == 0)
			return false;
		if (n < 0)
			return errno == EAGAIN || errno == EINTR;
		partial_.append(buf, n);
		size_t start = 0, end;
		while ((end = partial_.find('\n', start)) != std::string::npos) {
			count_line(partial_.substr(start, end - start));
			start = end + 1;
		}
		partial_.erase(0, start);
	}
}

void XTrace::count_line(const std::string &line)
{
	static const std::string idle_point = "{x=" + std::to_string(IDLE_POINT_X) + " y=" +
	                                      std::to_string(IDLE_POINT_Y) + "}";
	// Connection set-up lines carry no sequence number and are not counted.
	if (line.size() < 8 || line[3] != ':' || line[5] != ':' || !isxdigit((unsigned char)line[6]))
		return;
	bool up = line[4] == '<';
	size_t after_seq = line.find(':', 6);
	if (after_seq == std::string::npos)
		return;
	size_t p = after_seq + 1;
	while (p < line.size() && line[p] == ' ')
		p++;
	// Requests and replies give their length; events and errors have none.
	bool has_length = p < line.size() && isdigit((unsigned char)line[p]);
	if (up && !has_length)
		return;
	long length = has_length ? strtol(line.c_str() + p, nullptr, 10) : EVENT_BYTES;

	Traffic &g = groups_.back();
	if (!up) {
		g.bytes_down += length;
		return;
	}
	if (line.find(" PolyPoint ") != std::string::npos && line.find(idle_point) != std::string::npos) {
		g.idle_requests++;
		g.idle_bytes += length;
		for (size_t at = line.find(idle_point); at != std::string::npos;
		     at = line.find(idle_point, at + 1))
			groups_.emplace_back();
		return;
	}
	g.requests++;
	g.bytes_up += length;
	if (line.find(" PolyFillRectangle ") != std::string::npos)
		g.cells += count_cells(line);
}

Traffic XTrace::span(long first, long last) const
{
	Traffic t;
	for (long k = first < 0 ? 0 : first; k <= last && k <= ticks(); k++)
		t += groups_[k];
	return t;
}
