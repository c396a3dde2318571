// Menu "1": a plain terminal to the controller. The command line is KeyBuffer itself.
#include "KV_Lib3/exchange.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "comLib3/text.h"
#include "console/console.h"

void DirectCommands() {
  FullWindow();
  NewScreen();
  Write("Enter direct commands to KV-PLC, press esc to quit");
  NewLine();
  do {
    ShowStatus();
    KeyBuffer.clear();
    if (InputLine(KeyBuffer, 255) > 0) {
      Write(PlcExchange(PortNo, KeyBuffer));
      NewLine();
    }
  } while (!EscAbort);
}
