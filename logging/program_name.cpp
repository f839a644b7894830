#include "logging/program_name.h"

#include "logging/log_platform.h"

namespace Quor {

const char* programNameFromPath(const char* path) {
  if (path == nullptr) {
    return "";
  }
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') {
      name = p + 1;
    }
  }
  return name;
}

namespace {

struct ProgramPath {
  char path[1024] = {};
  const char* name = "";

  ProgramPath() {
    executablePath(path, sizeof path);
    name = programNameFromPath(path);
  }
};

}  // namespace

const char* programName() {
  static const ProgramPath program;
  return program.name;
}

}  // namespace Quor
