// migration-bench.exe: times the shortcut migration run (migrateShortcuts,
// the client pass, which walks every folder) over 1,000 shortcuts spread over the five shell
// folders of the Wine prefix it runs in, against the floor of that work:
// loading each shortcut through IShellLinkW / IPersistFile::Load and reading
// its path, nothing else. Run it through scripts/bench-migration.sh, which
// gives it a throwaway prefix: it fills the prefix's shell folders.
//
//   migration-bench [--shortcuts=N] [--repetitions=N]
//
// Passes, each repeated and reported by its median:
//   floor      a new shell link object per shortcut, Load with the mode the
//              migration uses (STGM_READ), GetPath (SLGP_SHORTPATH); the files
//              are known, so no folder is listed;
//   no change  every shortcut already starts the new client in the root: the
//              run reads, normalizes and compares each one, and writes nothing;
//   saved afresh  the floor of a rewrite: over each of the player's legacy
//              shortcuts a new shortcut is saved, as the rewrite writes it,
//              with nothing read or decided (under Wine every save also starts
//              and waits for the desktop-menu helper process, which dominates);
//   rewrite    every shortcut starts a legacy executable: the run plans and
//              rewrites each one.
// The legacy shortcuts are planted again, untimed, before each saved-afresh
// and rewrite pass; those two alternate, each taking the lead in turn. A
// pair's ratio varies by up to a tenth under Wine (the saves meet the
// system's own writing back of earlier ones), so the default is six pairs,
// each pass leading three times.

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shobjidl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/migration_run.h"
#include "plugin/path_utilities.h"
#include "plugin/shell_link.h"
#include "plugin/shortcut_folders.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

bool makeFolders(const std::string& path) {
  for (std::size_t index = path.find('\\', 3); index != std::string::npos; index = path.find('\\', index + 1)) {
    CreateDirectoryA(path.substr(0, index).c_str(), nullptr);
  }
  CreateDirectoryA(path.c_str(), nullptr);
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool writeFile(const std::string& path, const char* bytes) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes, static_cast<DWORD>(std::strlen(bytes)), &written, nullptr);
  CloseHandle(file);
  return ok != 0;
}

// The extras a player's own shortcut carries beside what a rewrite writes.
struct LegacyExtras {
  const char* arguments;
  const char* description;
  int iconIndex;
};

// A new shortcut with the target, working directory and icon saved over
// `linkPath` by the shell itself: what a rewrite writes, or with `extras` a
// player's legacy shortcut.
bool saveShortcut(const std::string& linkPath, const std::string& target, const std::string& folder,
                  const LegacyExtras* extras = nullptr) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  IPersistFile* file = nullptr;
  bool saved = false;
  wchar_t wide[MAX_PATH] = {};
  const bool extrasSet = extras == nullptr || (SUCCEEDED(link->SetArguments(extras->arguments)) &&
                                               SUCCEEDED(link->SetDescription(extras->description)));
  if (extrasSet && SUCCEEDED(link->SetPath(target.c_str())) && SUCCEEDED(link->SetWorkingDirectory(folder.c_str())) &&
      SUCCEEDED(link->SetIconLocation(target.c_str(), extras != nullptr ? extras->iconIndex : 0)) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH) > 0) {
    saved = SUCCEEDED(file->Save(wide, TRUE));
  }
  if (file != nullptr) file->Release();
  link->Release();
  return saved;
}

bool writeLegacyShortcut(const std::string& linkPath, const std::string& target, const std::string& folder) {
  static const LegacyExtras legacy{"--from-kxu", "Play Tessaryn", 1};
  return saveShortcut(linkPath, target, folder, &legacy);
}

// The floor for one shortcut: load it and read its path.
bool loadAndReadPath(const std::string& linkPath) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return false;
  }
  IPersistFile* file = nullptr;
  bool read = false;
  wchar_t wide[MAX_PATH] = {};
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH) > 0 &&
      SUCCEEDED(file->Load(wide, STGM_READ))) {
    wchar_t target[MAX_PATH] = {};
    WIN32_FIND_DATAW findData = {};
    read = SUCCEEDED(link->GetPath(target, MAX_PATH, &findData, SLGP_SHORTPATH)) && target[0] != L'\0';
  }
  if (file != nullptr) file->Release();
  link->Release();
  return read;
}

// Copies `templatePath` to every shortcut path.
bool plantAll(const std::string& templatePath, const std::vector<std::string>& links) {
  for (const std::string& link : links) {
    if (!CopyFileA(templatePath.c_str(), link.c_str(), FALSE)) return false;
  }
  return true;
}

// How many shortcuts start `target` (compared through canonicalLongPath).
std::size_t countStarting(const std::vector<std::string>& links, const std::string& target) {
  std::size_t count = 0;
  for (const std::string& link : links) {
    const Quor::Expected<Quor::ShortcutInfo> info = Quor::readShortcut(link);
    if (!info) continue;
    const Quor::Expected<std::string> path = Quor::canonicalLongPath(info->target);
    if (path && *path == target) ++count;
  }
  return count;
}

long option(int argc, char** argv, const char* name, long fallback) {
  const std::size_t length = std::strlen(name);
  for (int index = 1; index < argc; ++index) {
    if (std::strncmp(argv[index], name, length) == 0 && argv[index][length] == '=') {
      return std::strtol(argv[index] + length + 1, nullptr, 10);
    }
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const long shortcuts = option(argc, argv, "--shortcuts", 1000);
  const long repetitions = option(argc, argv, "--repetitions", 6);
  if (shortcuts < 5 || repetitions < 1) {
    std::fprintf(stderr, "usage: migration-bench [--shortcuts=N (5 or more)] [--repetitions=N]\n");
    return 1;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;

  const std::string root = "C:\\Games\\Tessaryn Bench";
  const std::string legacy = root + "\\Tessaryn.exe";
  const std::string client = root + "\\TessarynClient.exe";
  const std::string templates = "C:\\BenchTemplates";
  if (!makeFolders(root) || !makeFolders(templates) || !writeFile(legacy, "MZ") || !writeFile(client, "MZ") ||
      !writeLegacyShortcut(templates + "\\legacy.lnk", legacy, root) ||
      !writeLegacyShortcut(templates + "\\client.lnk", client, root)) {
    std::fprintf(stderr, "migration-bench: cannot set up the installation and the templates\n");
    return 2;
  }

  const Quor::Expected<std::vector<std::string>> folders = Quor::shortcutFolders(Quor::ShortcutPass::Client);
  if (!folders) {
    std::fprintf(stderr, "migration-bench: %s\n", folders.error().message.c_str());
    return 2;
  }
  // Spread over the five folders, at depths 0, 1 and 2.
  std::vector<std::string> links;
  for (long index = 0; index < shortcuts; ++index) {
    const std::string& folder = (*folders)[static_cast<std::size_t>(index) % folders->size()];
    const char* sub[] = {"", "\\Tessaryn", "\\User Pinned\\TaskBar"};
    const std::string directory = folder + sub[(index / 5) % 3];
    if (!makeFolders(directory)) {
      std::fprintf(stderr, "migration-bench: cannot make %s\n", directory.c_str());
      return 2;
    }
    char name[32];
    std::snprintf(name, sizeof name, "\\Bench %04ld.lnk", index);
    links.push_back(directory + name);
  }

  // A ratio compares passes that ran one right after the other, so both met
  // the same load on the machine.
  constexpr int pairsPerRepetition = 6;
  std::vector<double> floor, save, noChange, rewrite, noChangeRatio, rewriteRatio;
  bool correct = true;
  for (long repetition = 0; repetition < repetitions; ++repetition) {
    if (!plantAll(templates + "\\client.lnk", links)) return 2;
    // Untimed: the first pass over freshly copied files pays for them, and
    // that pass would be whichever comes first.
    for (const std::string& link : links) loadAndReadPath(link);
    // The two cheap passes alternate in pairs, each taking the lead in turn,
    // so neither always meets the warmer cache or the quieter moment.
    for (int pair = 0; pair < pairsPerRepetition; ++pair) {
      double floorTime = 0;
      double noChangeTime = 0;
      for (int turn = 0; turn < 2; ++turn) {
        const Clock::time_point start = Clock::now();
        if ((turn == 0) == (pair % 2 == 0)) {
          std::size_t loaded = 0;
          for (const std::string& link : links) loaded += loadAndReadPath(link) ? 1 : 0;
          floorTime = millisecondsSince(start);
          correct = correct && loaded == links.size();
        } else {
          correct = Quor::migrateShortcuts(root, Quor::ShortcutPass::Client).hasValue() && correct;
          noChangeTime = millisecondsSince(start);
        }
      }
      floor.push_back(floorTime);
      noChange.push_back(noChangeTime);
      noChangeRatio.push_back(noChangeTime / floorTime);
    }

    double rewriteTime = 0;
    double saveTime = 0;
    for (int turn = 0; turn < 2; ++turn) {
      if (!plantAll(templates + "\\legacy.lnk", links)) return 2;
      const Clock::time_point start = Clock::now();
      if ((turn == 0) == (repetition % 2 == 0)) {
        correct = Quor::migrateShortcuts(root, Quor::ShortcutPass::Client).hasValue() && correct;
        rewriteTime = millisecondsSince(start);
        correct = correct && countStarting(links, client) == links.size();
      } else {
        std::size_t saved = 0;
        for (const std::string& link : links) saved += saveShortcut(link, client, root) ? 1 : 0;
        saveTime = millisecondsSince(start);
        correct = correct && saved == links.size();
      }
    }
    rewrite.push_back(rewriteTime);
    save.push_back(saveTime);
    rewriteRatio.push_back(rewriteTime / saveTime);
  }
  CoUninitialize();

  const double count = static_cast<double>(links.size());
  std::printf("%ld shortcuts over %u folders (depths 0 to 2); medians of %ld x %d floor / no-change pairs and of\n"
              "%ld saved-afresh / rewrite pairs\n",
              shortcuts, static_cast<unsigned>(folders->size()), repetitions, pairsPerRepetition, repetitions);
  std::printf("  %-40s %8.3f ms per shortcut\n", "floor: load + read the path", median(floor) / count);
  std::printf("  %-40s %8.3f ms per shortcut  %6.2fx the floor\n", "migration, nothing to change",
              median(noChange) / count, median(noChangeRatio));
  std::printf("  %-40s %8.3f ms per shortcut\n", "saved afresh: a new shortcut over each", median(save) / count);
  std::printf("  %-40s %8.3f ms per shortcut  %6.2fx saved afresh\n", "migration, every shortcut rewritten",
              median(rewrite) / count, median(rewriteRatio));
  if (!correct) {
    std::fprintf(stderr, "migration-bench: a pass did not do its work (a run failed or a shortcut was missed)\n");
    return 1;
  }
  return 0;
}
