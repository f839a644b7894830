#include "plugin/com_initialization.h"

#include <windows.h>
#include <objbase.h>

namespace Quor {

ComInitialization::ComInitialization(ComInitializer initialize)
    : result_(initialize != nullptr ? initialize() : CoInitialize(nullptr)),
      mustUninitialize_(SUCCEEDED(result_)),
      usable_(SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE) {}

ComInitialization::~ComInitialization() {
  if (mustUninitialize_) CoUninitialize();
}

}  // namespace Quor
