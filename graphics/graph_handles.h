// The graph handle table: allocation, lookup and the table side of deletion.
#pragma once

#include "graphics/graph_record.h"
#include "graphics/handle_table.h"

extern HandleTable GraphHandles;

// Takes a slot and a zero-filled base record (header and four tile entries)
// with its check value, handle and movie -1. A full table or a failed
// allocation ends the process.
int AllocGraphHandle();
GraphRecord* GetGraphRecord(int handle);
int IsGraphHandleValid(int handle);
// Stores the pointer (null clears it) and writes 0 to it at once; deletion
// writes 1 there.
int SetGraphDeleteFlag(int handle, int* flag);
// The table side of deleting a graph: writes the delete flag, frees the
// record and releases its slot. -1 for an invalid handle.
int ReleaseGraphHandle(int handle);
// The texture of a graph's first tile, or null (user stage programs may
// name graphs).
IDirect3DBaseTexture9* GraphFirstTexture(int handle);
