// Fuzz target: a hiscore file of any bytes as the store reads it, one result placed by
// the table's rule, and the tables written and read back, which must give them whole.
// Input: a mode byte (bit 0: a duel's two tables), the score in four bytes (little
// endian), the player's name up to a zero byte, then the file's bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/require.h"
#include "results/hiscore_store.h"

namespace {

const size_t HEADER_SIZE = 5;      /* mode byte and score */
const size_t MAX_NAME_BYTES = 64;  /* longer than any name the game can hold */
const unsigned char JUNK = 0xA5;   /* what the tables hold before a read */

bool terminated(const char *name)
{
	return memchr(name, '\0', ENTRY_NAME_SIZE) != nullptr;
}

int occurrences(const HiscoreTable &t, const char *name)
{
	int n = 0;
	for (int i = 0; i < TABLE_ENTRIES; i++)
		n += strcmp(t.name[i], name) == 0;
	return n;
}

bool descending(const HiscoreTable &t)
{
	for (int i = 1; i < TABLE_ENTRIES; i++)
		if (t.score[i] > t.score[i - 1])
			return false;
	return true;
}

// read_tables on these bytes, through a stream as fopen would give one.
int read_bytes(const char *bytes, size_t size, int count)
{
	static const char nothing[1] = "";
	FILE *f = fmemopen(const_cast<char *>(size ? bytes : nothing), size, "r");
	require(f != nullptr, "fmemopen");
	int n = read_tables(f, count);
	fclose(f);
	return n;
}

// Each table holds the entries read from its part of the file, then empty places. (A
// name read may be empty too: a word that begins with a zero byte.)
void check_read(int n, int count)
{
	require(n >= 0 && n <= count * TABLE_ENTRIES, "entries read out of range");
	int filled = 0;
	for (int t = 0; t < count; t++)
		for (int i = 0; i < TABLE_ENTRIES; i++) {
			const char *name = hiscore_tables[t].name[i];
			bool empty = name[0] == '\0' && hiscore_tables[t].score[i] == 0;
			require(terminated(name), "a name read runs past its entry");
			require(i < n || empty, "a place beyond the entries read is not empty");
			filled += !empty;
		}
	require(filled <= n, "more places filled than entries read");
}

// The placement rule's promises, whatever the table held.
void check_placement(const HiscoreTable &before, const HiscoreTable &after, const char *name,
                     int32_t score)
{
	int had = occurrences(before, name);
	require(occurrences(after, name) <= (had > 0 ? had : 1), "a name stored twice");
	if (descending(before))
		require(descending(after), "placement broke the order");
	int place = -1;
	for (int i = 0; i < TABLE_ENTRIES && place < 0; i++)
		if (before.score[i] < score)
			place = i;
	if (had == 0 && place >= 0)
		require(strcmp(after.name[place], name) == 0 && after.score[place] == score,
		        "a new result not at its place");
	if (place < 0)
		require(memcmp(&before, &after, sizeof before) == 0, "a result below all changed the table");
	for (int i = 0; i < TABLE_ENTRIES; i++)
		require(terminated(after.name[i]), "a placed name runs past its entry");
}

// Writes the tables, reads the text back and wants every entry whole, in its stored form.
void check_round_trip(int count)
{
	HiscoreTable want[TABLE_COUNT];
	memcpy(want, hiscore_tables, sizeof want);
	for (int t = 0; t < count; t++)
		for (int i = 0; i < TABLE_ENTRIES; i++)
			entry_name(want[t].name[i], hiscore_tables[t].name[i]);

	char *text = nullptr;
	size_t size = 0;
	FILE *f = open_memstream(&text, &size);
	require(f != nullptr, "open_memstream");
	write_tables(f, count);
	fclose(f);
	size_t lines = 0;
	for (size_t i = 0; i < size; i++)
		lines += text[i] == '\n';
	require(lines == (size_t)(count * TABLE_ENTRIES), "not one line per entry");

	memset(hiscore_tables, JUNK, sizeof hiscore_tables);
	int n = read_bytes(text, size, count);
	free(text);
	require(n == count * TABLE_ENTRIES, "the tables written do not read back whole");
	for (int t = 0; t < count; t++)
		for (int i = 0; i < TABLE_ENTRIES; i++) {
			require(strcmp(want[t].name[i], hiscore_tables[t].name[i]) == 0,
			        "a name reads back changed");
			require(want[t].score[i] == hiscore_tables[t].score[i], "a score reads back changed");
		}
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	if (size < HEADER_SIZE)
		return 0;
	int count = 1 + (data[0] & 1);
	uint32_t raw = data[1] | data[2] << 8 | data[3] << 16 | (uint32_t)data[4] << 24;
	int32_t score;
	memcpy(&score, &raw, sizeof score);
	const char *rest = (const char *)data + HEADER_SIZE;
	size_t rest_size = size - HEADER_SIZE;
	size_t name_size = strnlen(rest, rest_size < MAX_NAME_BYTES ? rest_size : MAX_NAME_BYTES);
	std::vector<char> player(rest, rest + name_size);
	player.push_back('\0');
	size_t file_start = name_size < rest_size ? name_size + 1 : rest_size;

	memset(hiscore_tables, JUNK, sizeof hiscore_tables);
	int n = read_bytes(rest + file_start, rest_size - file_start, count);
	check_read(n, count);

	// As the store does it: the name in its stored form, placed in every table read.
	char name[ENTRY_NAME_SIZE];
	entry_name(name, player.data());
	require(terminated(name) && name[0] != '\0', "a stored name is empty or too long");
	for (int t = 0; t < count; t++) {
		HiscoreTable before = hiscore_tables[t];
		place_in_table(hiscore_tables[t], name, score);
		check_placement(before, hiscore_tables[t], name, score);
	}
	check_round_trip(count);
	return 0;
}
