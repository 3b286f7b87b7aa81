// Medians and spreads, and the Markdown around them.
#include "bench/report.h"

#include <algorithm>
#include <cstdio>

Spread spread(std::vector<double> values)
{
	Spread s;
	s.runs = (int)values.size();
	if (values.empty())
		return s;
	std::sort(values.begin(), values.end());
	size_t n = values.size();
	s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
	s.low = values.front();
	s.high = values.back();
	return s;
}

std::string format(const Spread &s, int decimals)
{
	if (s.runs == 0)
		return "–";
	char text[96];
	if (s.low == s.high)
		snprintf(text, sizeof text, "%.*f", decimals, s.median);
	else
		snprintf(text, sizeof text, "%.*f (%.*f–%.*f)", decimals, s.median, decimals, s.low,
		         decimals, s.high);
	return text;
}

std::string row(const std::vector<std::string> &cells)
{
	std::string r = "|";
	for (const auto &c : cells)
		r += " " + c + " |";
	return r + "\n";
}

std::string rule(int columns)
{
	std::string r = "|";
	for (int i = 0; i < columns; i++)
		r += " --- |";
	return r + "\n";
}
