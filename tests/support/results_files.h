// Test support for the results: a games directory emptied between tests, whole files
// written and read back, hiscore files built from entries, and standard error captured.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct Entry {
	std::string name;
	int score;
};

// Removes path and, if it is a directory, everything in it; links are not followed.
void remove_tree(const std::string &path);

// Makes dir exist and hold nothing.
void empty_dir(const std::string &dir);

void write_file(const std::string &path, const std::string &text);

// The file's bytes, or "" when it cannot be read.
std::string read_file(const std::string &path);

// The file's lines without their newlines.
std::vector<std::string> read_lines(const std::string &path);

bool exists(const std::string &path);

// The inode of path, or 0 when it does not exist.
ino_t inode_of(const std::string &path);

// The names in dir, sorted, without "." and "..".
std::vector<std::string> dir_names(const std::string &dir);

// One "name score" line per entry.
std::string hiscore_text(const std::vector<Entry> &entries);

// n entries, distinct names and descending scores from `top` down in steps of `step`.
std::vector<Entry> ladder(const std::string &prefix, int n, int top, int step);

// While it lives, everything written to standard error goes to a file; text() stops the
// capture and returns what was written.
class StderrCapture {
public:
	StderrCapture();
	~StderrCapture();
	StderrCapture(const StderrCapture &) = delete;
	StderrCapture &operator=(const StderrCapture &) = delete;
	std::string text();

private:
	int saved_ = -1;
	std::string path_;
	std::string text_;
};
