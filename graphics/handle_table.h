// The handle layout shared by every kind of object the library hands out, and
// the one slot table behind each kind. A handle is
// ((check | typeHigh) << 16) | slot: bits 27-30 the type, 16-26 an 11-bit
// check value that tells a reused slot from the old record, 0-15 the slot.
// Every record behind a handle starts with its check value (u32).
#pragma once

#include <stddef.h>
#include <stdint.h>

enum {
    HANDLE_TYPE_MASK = 0x78000000,
    HANDLE_CHECK_MASK = 0x07FF0000,
    HANDLE_SLOT_MASK = 0x0000FFFF,
    HANDLE_CHECK_MAX = 2047,

    HANDLE_TYPE_GRAPH = 0x08000000,
    HANDLE_TYPE_SOUND = 0x10000000,
    HANDLE_TYPE_MOVIE = 0x18000000,
    HANDLE_TYPE_FONT = 0x20000000,
    HANDLE_TYPE_MASK_DATA = 0x28000000,
    HANDLE_TYPE_SOCKET = 0x30000000,
    HANDLE_TYPE_KEY_INPUT = 0x38000000,
    HANDLE_TYPE_MIDI = 0x40000000,
    HANDLE_TYPE_LIGHT = 0x48000000,
    HANDLE_TYPE_MODEL = 0x50000000,
    HANDLE_TYPE_RASTER = 0x58000000,
    HANDLE_TYPE_SHADER = 0x60000000,
    HANDLE_TYPE_SOFT_SOUND = 0x68000000,
};

// Slot counts of the tables.
enum {
    GRAPH_HANDLE_MAX = 32768,
    SOUND_HANDLE_MAX = 32768,
    MOVIE_HANDLE_MAX = 100,
    FONT_HANDLE_MAX = 40,
    MASK_HANDLE_MAX = 512,
    SOCKET_HANDLE_MAX = 8192,
    KEY_INPUT_HANDLE_MAX = 256,
    MIDI_HANDLE_MAX = 256,
    LIGHT_HANDLE_MAX = 4096,
    RASTER_HANDLE_MAX = 8192,
    SHADER_HANDLE_MAX = 4096,
    SOFT_SOUND_HANDLE_MAX = 8192,
};

// Where a new record goes.
enum HandleSlotRule {
    // The end slot while it is below the table size, else the first free slot
    // (graph, sound, light and most tables).
    SLOT_AT_END = 0,
    // Always the first free slot (font and movie tables).
    SLOT_FIRST_FREE = 1,
};

struct HandleTable {
    void** records;      // slotCount record pointers; null = free
    int slotCount;
    int typeCode;        // HANDLE_TYPE_*
    int slotRule;        // HandleSlotRule
    int count;           // live records
    int endSlot;         // one past the highest slot in use; 0 when empty
    int checkCounter;    // check value of the next record, 0..2047
};

// Defines a table with its own fixed slot array.
#define DEFINE_HANDLE_TABLE(name, type, slots, rule) \
    static void* name##Slots[slots];                 \
    HandleTable name = { name##Slots, slots, type, rule, 0, 0, 0 }

// The first field of every record behind a handle.
struct HandleRecordHead {
    uint32_t check;
};

int MakeHandle(int typeCode, uint32_t check, int slot);

// The record of a handle, or null when the handle fails any of the five
// tests (negative, other type, slot out of range, free slot, other check).
void* GetHandleRecord(const HandleTable* table, int handle);
int IsHandleValid(const HandleTable* table, int handle);

int IsHandleTableFull(const HandleTable* table);
// The slot a new record would take, or -1 when the table is full.
int FindFreeHandleSlot(const HandleTable* table);
// Allocates a zero-filled record of size bytes (at least a check field),
// puts it in a slot and writes its check value; the record's handle goes to
// *handle. Null (and *handle -1) when the table is full or the allocation
// failed; the caller reports either as its own kind requires.
void* AllocHandleRecord(HandleTable* table, size_t size, const char* name, int line, int* handle);
// Frees a record taken with AllocHandleRecord and releases its slot (the end
// slot falls past trailing free slots, to 0 when the table empties).
// -1 for an invalid handle.
int FreeHandleRecord(HandleTable* table, int handle);
// Resizes a record to headerSize + count * entrySize bytes (the size worked
// out in 64 bits); the table keeps the new address. Null, with the record
// left as it was, when count is negative, the size cannot be allocated, or
// the handle is invalid.
void* ResizeHandleRecord(HandleTable* table, int handle, size_t headerSize, int64_t count,
                         size_t entrySize, const char* name, int line);
// The handle of the record in slot, or -1 when the slot is free or out of range.
int HandleAtSlot(const HandleTable* table, int slot);
// Deletes every record with deleteOne, walking from slot 0 while the slot is
// below the end slot (re-read after each deletion).
int DeleteAllHandles(HandleTable* table, int (*deleteOne)(int handle));
// Forgets the count and end slot (graphics start-up); records are not freed.
int ClearHandleTableCounts(HandleTable* table);
