#pragma once
// Helpers shared by the benchmark programs: timing, per-workload peak memory
// (each workload runs in a child process of its own), and table output.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

namespace bench {

inline double nowSeconds() {
  using clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(clock::now().time_since_epoch()).count();
}

// Resident and peak-resident memory of this process in KiB (from /proc).
inline long procStatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::size_t length = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':') {
      return std::strtol(line.c_str() + length + 1, nullptr, 10);
    }
  }
  return -1;
}

// Figures one workload reports back to the parent.
struct Figures {
  double seconds[4];  // up to four timed phases
  long peakKiB;       // peak resident memory above the child's start
};

// Runs work in a child process so that its peak memory is its own; work fills
// the phase timings. Returns false when the child failed.
inline bool runIsolated(const std::function<void(Figures&)>& work, Figures& out) {
  int channel[2];
  if (pipe(channel) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    // Forget the parent's peak so the child's counts from here.
    if (FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
      std::fputs("5", clear);
      std::fclose(clear);
    }
    Figures figures{};
    const long baseline = procStatusKiB("VmRSS");
    work(figures);
    figures.peakKiB = procStatusKiB("VmHWM") - baseline;
    const ssize_t written = write(channel[1], &figures, sizeof figures);
    _exit(written == static_cast<ssize_t>(sizeof figures) ? 0 : 1);
  }
  close(channel[1]);
  const ssize_t got = read(channel[0], &out, sizeof out);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return got == static_cast<ssize_t>(sizeof out) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The whole file, or the end of the program when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(1);
  }
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// Best times of a parse and of freeing what it built.
struct ParseTiming {
  double parse = 1e30;    // seconds
  double destroy = 1e30;  // seconds
};

// Times parse (which returns the tree as an owning pointer) and the tree's
// destruction, keeping the best of runs; ends the program when a parse fails.
template <class Tree>
ParseTiming measureParse(int runs, const char* what, const std::function<std::unique_ptr<Tree>()>& parse) {
  ParseTiming timing;
  for (int run = 0; run < runs; ++run) {
    double start = nowSeconds();
    std::unique_ptr<Tree> tree = parse();
    timing.parse = std::min(timing.parse, nowSeconds() - start);
    if (!tree) {
      std::fprintf(stderr, "%s: parse failed\n", what);
      std::exit(1);
    }
    start = nowSeconds();
    tree.reset();
    timing.destroy = std::min(timing.destroy, nowSeconds() - start);
  }
  return timing;
}

}  // namespace bench
