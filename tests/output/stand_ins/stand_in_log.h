#pragma once

// Shared by the stand-in DPS and RTV libraries: every call is appended as one
// line to the file named by QUENNET_STAND_IN_LOG, and a call named in
// QUENNET_STAND_IN_FAIL ("VTWrite@2": the third VTWrite of this load) fails.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

// Everything here has internal linkage: a function-local static of an inline
// function would be a unique symbol and keep the library from unloading,
// carrying its call counts into the next movie.
namespace stand_in {
namespace {

std::map<std::string, int> callCounts;

[[maybe_unused]] void Log(const std::string& line) {
  const char* file = std::getenv("QUENNET_STAND_IN_LOG");
  if (file == nullptr) return;
  if (std::FILE* log = std::fopen(file, "a")) {
    std::fprintf(log, "%s\n", line.c_str());
    std::fclose(log);
  }
}

// Counts the calls of `name` and tells whether this one is to fail.
[[maybe_unused]] bool ShouldFail(const std::string& name) {
  const int index = callCounts[name]++;
  const char* rule = std::getenv("QUENNET_STAND_IN_FAIL");
  if (rule == nullptr) return false;
  const std::string wanted = name + "@" + std::to_string(index);
  const char* found = std::strstr(rule, wanted.c_str());
  if (found == nullptr) return false;
  const char end = found[wanted.size()];
  return end == '\0' || end == ',';
}

// A short checksum of pixel bytes, so tests can tell which frame arrived.
[[maybe_unused]] unsigned long Sum(const unsigned char* bytes, long count) {
  unsigned long sum = 0;
  for (long i = 0; i < count; ++i) sum = sum * 31 + bytes[i];
  return sum;
}

}  // namespace
}  // namespace stand_in
