// Socket networking over asynchronous window messages: stream connections
// whose data travels as length-prefixed blocks. Nothing in this program
// starts it, so every entry returns at once; the byte ring it queues with is
// shared with the sound layer.
#pragma once

#include <windows.h>

#include "runtime/ring_buffer.h"

int RecvSocket(int handle);
int SendSocket(int handle);
int AcceptNetWork();
int OnSocketMessage(WPARAM socket, LPARAM event);
int PumpNetworkMessages(int closeLost);
int TermNetwork();
int CloseNetHandleNow(int handle);
int FlushAndCloseNetHandle(int handle);
int LogNetworkError(const char* format, ...);
