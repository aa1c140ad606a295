// Socket networking (never started by this program).
#pragma once

#include <windows.h>

int TermNetwork();
int PumpNetworkMessages(int closeLost);
int OnSocketMessage(WPARAM socket, LPARAM event);
