// Loads the plugin library as the host does and shows the runtime at work:
//   plugin-demo <path-to-dll>

#include <cstdint>
#include <cstdio>
#include <string>

#include "binding/format_message.h"
#include "binding/value.h"
#include "demo/pe_exports.h"

namespace {

using Quor::FormatMessage;
using Quor::Value;
using Quor::ValueKind;

// A small value printer for the demo: kinds in brackets, members in their
// stored (name) order.
void printValue(const Value& value, int depth) {
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  switch (value.kind()) {
    case ValueKind::Structure:
      for (const Quor::MemberView member : value.members()) {
        std::printf("%s%.*s (%s)%s", indent.c_str(), static_cast<int>(member.name.size()), member.name.data(),
                    Quor::valueKindName(member.value.kind()),
                    member.value.kind() == ValueKind::Structure || member.value.kind() == ValueKind::Collection
                        ? ":\n" : ": ");
        printValue(member.value, depth + 1);
      }
      break;
    case ValueKind::Collection:
      for (std::size_t index = 0; index < value.size(); ++index) {
        std::printf("%s[%u] ", indent.c_str(), static_cast<unsigned>(index));
        printValue(value.element(index), depth + 1);
      }
      break;
    case ValueKind::String:
      std::printf("\"%s\"\n", value.getCString());
      break;
    case ValueKind::Signed:
      std::printf("%s\n", FormatMessage("%1", value.getSigned()).c_str());
      break;
    case ValueKind::Unsigned:
      std::printf("%s\n", FormatMessage("%1", value.getUnsigned()).c_str());
      break;
    case ValueKind::Float:
      std::printf("%s\n", FormatMessage("%1", value.getFloat()).c_str());
      break;
    case ValueKind::Bool:
      std::printf("%s\n", value.getBool() ? "true" : "false");
      break;
    default:
      std::printf("(%s)\n", Quor::valueKindName(value.kind()));
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: plugin-demo <path-to-dll>\n");
    return 2;
  }
  std::printf("== Loading %s\n", argv[1]);
  const Quor::Demo::LoadedModule module = Quor::Demo::loadModule(argv[1]);
  if (module.handle == nullptr) {
    std::fprintf(stderr, "%s\n", module.error.c_str());
    return 1;
  }
  const auto exports = Quor::Demo::exportedNames(module.handle);
  std::printf("loaded; %u exported name(s)\n", static_cast<unsigned>(exports.size()));
  for (const std::string& name : exports) std::printf("  %s\n", name.c_str());

  std::printf("\n== A value tree (members come out in name order)\n");
  Value settings;
  settings.writeMember("installRoot").setString("C:\\Games\\T with space");
  settings.writeMember("attemptsRemaining").setSigned(3);
  settings.writeMember("migrated").setBool(false);
  Value& shortcuts = settings.writeMember("shortcuts");
  shortcuts.appendElement().setString("Desktop\\Legacy Launcher.lnk");
  shortcuts.appendElement().setString("Start Menu\\Programs\\Legacy Launcher.lnk");
  settings.writeMember("client").writeMember("version").setFloat(1.5);
  printValue(settings, 1);

  Value copy(settings);
  settings.writeMember("attemptsRemaining").setSigned(2);
  std::printf("deep copy keeps attemptsRemaining = %s while the original now has %s\n",
              FormatMessage("%1", copy.member("attemptsRemaining").getSigned()).c_str(),
              FormatMessage("%1", settings.member("attemptsRemaining").getSigned()).c_str());

  std::printf("\n== Positional messages\n");
  std::printf("%s\n", FormatMessage("Value %1 for '%2' of type %3 is out of range", std::int64_t{-5}, "x", "uint8").c_str());
  std::printf("%s\n", FormatMessage("QuorClient/%1 (%2)", "1.0", "Windows").c_str());
  std::printf("%s\n", FormatMessage("%2 before %1, %1 again", "first", "second").c_str());
  std::printf("%s\n", FormatMessage("one half is %1, ten to the twentieth is %2", 0.5, 1e20).c_str());

  Quor::Demo::unloadModule(module.handle);
  std::printf("\nunloaded\n");
  return 0;
}
