#include "PXN32_00/access_modes.h"

char XferMode = 'N';
char InversMode = 'N';

void ResetAccessModes() {
  XferMode = InversMode = 'N';
}
