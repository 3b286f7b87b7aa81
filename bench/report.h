// Repeated measurements summed up for the tables: the median and the spread (lowest to
// highest), formatted for Markdown.
#pragma once

#include <string>
#include <vector>

struct Spread {
	int runs = 0;
	double median = 0, low = 0, high = 0;
};

Spread spread(std::vector<double> values);

// "12.3 (11.9–13.0)", or "12.3" when every run gave the same, or "–" with no runs.
std::string format(const Spread &s, int decimals);

// One Markdown table row from its cells.
std::string row(const std::vector<std::string> &cells);

// The separator row of a Markdown table of `columns` columns.
std::string rule(int columns);
