#pragma once
// The names a file of records moves on to when the file named holds records
// of another shape: "Hall A.csv", then "Hall A (2).csv", "Hall A (3).csv" ...
// The results files and the logger's day logs are numbered alike. Pure.

#include <string>

namespace tarnwick {

// The highest number given; a run whose every numbered file holds records of
// another shape writes none.
constexpr int kLastFileNumber = 99;

// `path` with " (n)" before the extension of its file name, or at its end
// when the name has none: "/data/Hall A.csv", 2 -> "/data/Hall A (2).csv";
// "/data/v1.2/log", 3 -> "/data/v1.2/log (3)". `path` itself for n below 2.
std::string NumberedFileName(const std::string& path, int n);

}  // namespace tarnwick
