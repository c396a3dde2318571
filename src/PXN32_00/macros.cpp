#include "PXN32_00/screens.h"

void MacroScreen() {}  // being built
