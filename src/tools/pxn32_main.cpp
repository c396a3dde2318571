// Placeholder main until the terminal back end lands.
#include "PXN32_00/main_menu.h"
int main() { return 0; }
