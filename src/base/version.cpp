#include "base/version.h"

namespace base {

const char kVersion[] = PXN32_VERSION;

}  // namespace base
