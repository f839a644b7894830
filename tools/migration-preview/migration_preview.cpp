// migration-preview [--json] (--root DIR | --current-dir DIR): what the
// shortcut migration and the uninstaller cleanup would do on this machine for
// this user, decided by the migration's own rules, with nothing changed.
// Exit codes: 0 a plan was built (whatever it says); 1 none could be (the
// reason on standard error); 2 a wrong command line.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <optional>
#include <string>

#include "ansi_text.h"
#include "preview_output.h"
#include "preview_source.h"
#include "qcp_version.h"

namespace {

constexpr int exitPlanned = 0;
constexpr int exitNoPlan = 1;
constexpr int exitWrongCommandLine = 2;

}  // namespace

// The command line in full (UTF-8): the paths are converted to the ANSI code
// page by the library's own rules, which refuse what it cannot hold.
int wmain(int argc, wchar_t** wideArgv) {
  ToolText::Utf8Arguments arguments(argc, wideArgv);
  bool json = false;
  MigrationPreview::RootRequest request;
  CLI::App app{
      "migration-preview: prints what the shortcut migration and the uninstaller cleanup would do on this machine "
      "for this user, without changing anything.",
      "migration-preview"};
  app.footer(
      "Actions: rewrite (made to start the new client), unpin-delete, keep, skip (unreadable), fail (its "
      "attributes forbid the rewrite or deletion), remove (uninstaller files).\nExit codes: 0 a plan was built; 1 "
      "none could be; 2 a wrong command line.");
  app.set_version_flag("--version", "migration-preview " QCP_VERSION_TEXT);
  app.add_flag("--json", json, "Print JSON Lines: one object per shortcut or file, then a summary object");
  CLI::Option* root = app.add_option("--root", request.root, "The installation root, as the passes are given it")
                          ->type_name("DIR");
  CLI::Option* current =
      app.add_option("--current-dir", request.currentDirectory,
                     "A client's current directory: the root is six folders above it, as the client computes it")
          ->type_name("DIR");
  root->excludes(current);
  try {
    app.parse(arguments.argc(), arguments.argv());
    if (!request.root && !request.currentDirectory) {
      throw CLI::RequiredError("--root or --current-dir");
    }
  } catch (const CLI::CallForHelp&) {
    std::printf("%s", app.help().c_str());
    return exitPlanned;
  } catch (const CLI::CallForVersion&) {
    std::printf("%s\n", app.version().c_str());
    return exitPlanned;
  } catch (const CLI::ParseError& error) {
    std::fprintf(stderr, "migration-preview: %s\nRun with --help for more information.\n", error.what());
    return exitWrongCommandLine;
  }

  const Quor::Expected<MigrationPreview::Preview> preview = MigrationPreview::buildPreview(request);
  if (!preview) {
    std::fprintf(stderr, "migration-preview: no plan: %s\n", preview.error().message.c_str());
    return exitNoPlan;
  }
  const std::string text =
      json ? MigrationPreview::previewJsonLines(*preview) : MigrationPreview::previewTable(*preview);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return exitPlanned;
}
