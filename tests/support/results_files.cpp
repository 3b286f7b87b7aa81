// Files and standard error for the results tests.
#include "tests/support/results_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

static int remove_one(const char *path, const struct stat *, int, struct FTW *)
{
	return remove(path);
}

void remove_tree(const std::string &path)
{
	// Depth first: a directory goes after what it holds.
	nftw(path.c_str(), remove_one, 16, FTW_DEPTH | FTW_PHYS);
}

void empty_dir(const std::string &dir)
{
	remove_tree(dir);
	mkdir(dir.c_str(), 0755);
}

void write_file(const std::string &path, const std::string &text)
{
	std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string read_file(const std::string &path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream out;
	out << in.rdbuf();
	return out.str();
}

std::vector<std::string> read_lines(const std::string &path)
{
	std::vector<std::string> lines;
	std::istringstream in(read_file(path));
	for (std::string line; std::getline(in, line);)
		lines.push_back(line);
	return lines;
}

bool exists(const std::string &path)
{
	struct stat st;
	return lstat(path.c_str(), &st) == 0;
}

ino_t inode_of(const std::string &path)
{
	struct stat st;
	return lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::vector<std::string> dir_names(const std::string &dir)
{
	std::vector<std::string> names;
	DIR *d = opendir(dir.c_str());
	if (!d)
		return names;
	while (struct dirent *e = readdir(d)) {
		std::string n = e->d_name;
		if (n != "." && n != "..")
			names.push_back(n);
	}
	closedir(d);
	std::sort(names.begin(), names.end());
	return names;
}

std::string hiscore_text(const std::vector<Entry> &entries)
{
	std::string text;
	for (const Entry &e : entries)
		text += e.name + " " + std::to_string(e.score) + "\n";
	return text;
}

std::vector<Entry> ladder(const std::string &prefix, int n, int top, int step)
{
	std::vector<Entry> entries;
	for (int i = 0; i < n; i++)
		entries.push_back({ prefix + std::to_string(i), top - step * i });
	return entries;
}

StderrCapture::StderrCapture()
{
	char path[] = "/tmp/dravik-stderr-XXXXXX";
	int fd = mkstemp(path);
	if (fd < 0)
		return;
	path_ = path;
	fflush(stderr);
	saved_ = dup(2);
	dup2(fd, 2);
	close(fd);
}

std::string StderrCapture::text()
{
	if (saved_ >= 0) {
		fflush(stderr);
		dup2(saved_, 2);
		close(saved_);
		saved_ = -1;
		text_ = read_file(path_);
		unlink(path_.c_str());
	}
	return text_;
}

StderrCapture::~StderrCapture()
{
	text();
}
