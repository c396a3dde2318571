#include "PXN32_00/screens.h"

void FlagMonitor() {}  // being built
