#pragma once
// A line chart of search time against rows retrieved (Kestrel and the command-line client),
// written as a PNG.
#include <string>
#include <vector>

struct SearchPoint {
  int rows;
  double kestrelMs;
  double clientMs;
};

bool WriteSearchChart(const std::vector<SearchPoint>& points, const std::string& path);
