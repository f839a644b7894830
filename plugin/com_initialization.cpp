#include "plugin/com_initialization.h"

#include <windows.h>
#include <objbase.h>

namespace Quor {

ComInitialization::ComInitialization() : mustUninitialize_(SUCCEEDED(CoInitialize(nullptr))) {}

ComInitialization::~ComInitialization() {
  if (mustUninitialize_) CoUninitialize();
}

}  // namespace Quor
