#include "runtime/network.h"

// The network layer is never started here, so every entry returns at once.
int TermNetwork() { return 0; }
int PumpNetworkMessages(int) { return 0; }
int OnSocketMessage(WPARAM, LPARAM) { return 0; }
