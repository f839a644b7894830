// The DLL's own version of the C++ runtime's default terminate handler: the
// same report on standard error and the same abort, but the exception's type
// by the name the compiler gives it rather than demangled. The runtime's
// version brought in its demangler, 46 KB of the DLL, for that one line.
// Defined here, it is the one the runtime's default handler and
// std::set_terminate(nullptr) find; the runtime's own is never linked.

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <typeinfo>

void __gnu_cxx::__verbose_terminate_handler() {
  static bool terminating = false;
  if (terminating) {
    std::fputs("terminate called recursively\n", stderr);
    std::abort();
  }
  terminating = true;
  if (const std::type_info* type = abi::__cxa_current_exception_type()) {
    std::fputs("terminate called after throwing an instance of '", stderr);
    std::fputs(type->name(), stderr);
    std::fputs("'\n", stderr);
    try {
      throw;
    } catch (const std::exception& error) {
      std::fputs("  what():  ", stderr);
      std::fputs(error.what(), stderr);
      std::fputs("\n", stderr);
    } catch (...) {
    }
  } else {
    std::fputs("terminate called without an active exception\n", stderr);
  }
  std::abort();
}
