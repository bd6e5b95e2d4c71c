// What the benchmarks share: wall-clock time, the peak resident size, file sizes, a warm
// page cache, and the demo tile made when it is missing.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/demo_tile.h"

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The peak resident size since the last reset, in KiB.
inline long peakKib() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  long kib = -1;
  char line[256];
  while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr)
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::atol(line + 6);
  if (status != nullptr) std::fclose(status);
  return kib;
}

inline void resetPeak() {
  std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
  if (refs == nullptr) return;
  std::fputs("5", refs);
  std::fclose(refs);
}

inline uint64_t fileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

// Reads a file once so that every timed run finds it in the page cache.
inline void warmUp(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return;
  std::vector<char> block(size_t(1) << 20);
  while (std::fread(block.data(), 1, block.size(), file) == block.size()) {
  }
  std::fclose(file);
}

// Makes the demo tile <base>.hdr/.flt unless it is there, in a child, so that the maker's
// memory does not count in the measured peak.
inline bool ensureDemoTile(const std::string& base, const char* program) {
  if (fileSize(base + ".flt") == 467597376ull && fileSize(base + ".hdr") > 0) return true;
  std::printf("making the demo tile %s ...\n", base.c_str());
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    ned::DemoTileOptions options;
    const size_t slash = base.find_last_of('/');
    options.directory = slash == std::string::npos ? "." : base.substr(0, slash);
    options.baseName = slash == std::string::npos ? base : base.substr(slash + 1);
    std::string error;
    mkdir(options.directory.c_str(), 0755);
    const bool made = ned::makeDemoTile(options, &error);
    if (!made) std::fprintf(stderr, "%s: %s\n", program, error.c_str());
    _exit(made ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace bench
