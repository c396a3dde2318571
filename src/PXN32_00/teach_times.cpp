#include "PXN32_00/screens.h"

void TeachPositioningTimes() {}  // being built
