#pragma once
// The elevated migration pass has no core to log to: it writes its lines to
// a file in the folder it runs in (the client folder, where "cd /d" put it),
// and the client forwards them to the core's log after the wait
// (elevated_log_forwarding.h).

#include <memory>

namespace Quor {

// Replaced at each run, in the elevated pass's current directory.
inline constexpr char elevatedLogFileName[] = "qel-beta-opt-in-elevated.log";
// One line per record: "<time>| <level>| <message>", the level's name padded
// to six characters ("  OKAY", " ERROR").
inline constexpr char elevatedLogLineFormat[] = "#D| #L| #M";

// For its lifetime, every record of level OKAY and up goes to the file
// `path`: any old file of that name (or a link in its place) is deleted and a
// new one created exclusively, never through a link or reparse point; each
// line is written through as it comes, so a pass that ends abruptly keeps
// what it logged. The logger's global minimum level is lowered to OKAY, as
// the plugin's own log target does. When the file cannot be created nothing
// is logged to it.
class ElevatedLogFile {
 public:
  explicit ElevatedLogFile(const char* path);
  ~ElevatedLogFile();
  ElevatedLogFile(const ElevatedLogFile&) = delete;
  ElevatedLogFile& operator=(const ElevatedLogFile&) = delete;

 private:
  class Target;
  std::unique_ptr<Target> target_;
};

}  // namespace Quor
