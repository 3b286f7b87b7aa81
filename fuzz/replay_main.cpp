// Runs a fuzz target once on every file of the corpus directories (or files) it is
// given, without libFuzzer: the seeds and the kept regression cases, in the test suite.
// Fails when it finds nothing to run; a target that finds a fault aborts.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static std::vector<std::string> inputs_in(const std::string &path)
{
	struct stat st;
	if (stat(path.c_str(), &st) != 0)
		return {};
	if (!S_ISDIR(st.st_mode))
		return { path };
	std::vector<std::string> files;
	if (DIR *d = opendir(path.c_str())) {
		while (struct dirent *e = readdir(d))
			if (e->d_name[0] != '.')
				files.push_back(path + "/" + e->d_name);
		closedir(d);
	}
	std::sort(files.begin(), files.end());
	return files;
}

int main(int argc, char **argv)
{
	int runs = 0;
	for (int i = 1; i < argc; i++)
		for (const std::string &file : inputs_in(argv[i])) {
			std::ifstream in(file, std::ios::binary);
			std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
			                        std::istreambuf_iterator<char>());
			fprintf(stderr, "replay %s\n", file.c_str());
			LLVMFuzzerTestOneInput((const uint8_t *)bytes.data(), bytes.size());
			runs++;
		}
	printf("%d inputs replayed\n", runs);
	return runs > 0 ? 0 : 1;
}
