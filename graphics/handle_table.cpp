#include "graphics/handle_table.h"

#include "runtime/memory.h"

int MakeHandle(int typeCode, uint32_t check, int slot)
{
    uint32_t high = ((uint32_t)typeCode >> 16) | (check & HANDLE_CHECK_MAX);
    return (int)((high << 16) | ((uint32_t)slot & HANDLE_SLOT_MASK));
}

static int HandleSlot(const HandleTable* table, int handle)
{
    if (handle < 0 || (handle & HANDLE_TYPE_MASK) != table->typeCode)
        return -1;
    int slot = handle & HANDLE_SLOT_MASK;
    if (slot >= table->slotCount)
        return -1;
    const HandleRecordHead* record = (const HandleRecordHead*)table->records[slot];
    if (!record || (record->check << 16) != ((uint32_t)handle & HANDLE_CHECK_MASK))
        return -1;
    return slot;
}

void* GetHandleRecord(const HandleTable* table, int handle)
{
    int slot = HandleSlot(table, handle);
    return slot < 0 ? nullptr : table->records[slot];
}

int IsHandleValid(const HandleTable* table, int handle)
{
    return HandleSlot(table, handle) >= 0 ? 1 : 0;
}

int IsHandleTableFull(const HandleTable* table)
{
    return table->count >= table->slotCount ? 1 : 0;
}

int FindFreeHandleSlot(const HandleTable* table)
{
    if (IsHandleTableFull(table))
        return -1;
    // A slot still holding a record (counts cleared with records in place) is
    // never taken over.
    if (table->slotRule == SLOT_AT_END && table->endSlot < table->slotCount
        && !table->records[table->endSlot])
        return table->endSlot;
    for (int slot = 0; slot < table->slotCount; slot++)
        if (!table->records[slot])
            return slot;
    return -1;
}

void* AllocHandleRecord(HandleTable* table, size_t size, const char* name, int line, int* handle)
{
    *handle = -1;
    int slot = FindFreeHandleSlot(table);
    if (slot < 0)
        return nullptr;
    if (size < sizeof(HandleRecordHead))
        size = sizeof(HandleRecordHead);
    HandleRecordHead* record = (HandleRecordHead*)AllocTrackedZero(size, name, line);
    if (!record)
        return nullptr;

    record->check = (uint32_t)table->checkCounter;
    table->checkCounter = table->checkCounter >= HANDLE_CHECK_MAX ? 0 : table->checkCounter + 1;
    table->records[slot] = record;
    table->count++;
    if (slot >= table->endSlot)
        table->endSlot = slot + 1;
    *handle = MakeHandle(table->typeCode, record->check, slot);
    return record;
}

int FreeHandleRecord(HandleTable* table, int handle)
{
    int slot = HandleSlot(table, handle);
    if (slot < 0)
        return -1;
    table->count--;
    if (slot == table->endSlot - 1) {
        int end = 0;
        if (table->count > 0)
            for (int i = slot - 1; i >= 0; i--)
                if (table->records[i]) {
                    end = i + 1;
                    break;
                }
        table->endSlot = end;
    }
    FreeTracked(table->records[slot]);
    table->records[slot] = nullptr;
    return 0;
}

void* ResizeHandleRecord(HandleTable* table, int handle, size_t headerSize, int64_t count,
                         size_t entrySize, const char* name, int line)
{
    int slot = HandleSlot(table, handle);
    if (slot < 0 || count < 0)
        return nullptr;
    // The allocator takes at most 2 GiB less its header; anything beyond is
    // refused here before the product can wrap a 32-bit size.
    const uint64_t limit = 0x7FFFFFFF;
    if (headerSize > limit || (entrySize && (uint64_t)count > (limit - headerSize) / entrySize))
        return nullptr;
    uint64_t size = (uint64_t)headerSize + (uint64_t)count * entrySize;
    if (size < sizeof(HandleRecordHead))
        return nullptr;
    void* fresh = ReallocTracked(table->records[slot], (size_t)size, name, line);
    if (!fresh)
        return nullptr;
    table->records[slot] = fresh;
    return fresh;
}

int HandleAtSlot(const HandleTable* table, int slot)
{
    if (slot < 0 || slot >= table->slotCount || !table->records[slot])
        return -1;
    const HandleRecordHead* record = (const HandleRecordHead*)table->records[slot];
    return MakeHandle(table->typeCode, record->check, slot);
}

int DeleteAllHandles(HandleTable* table, int (*deleteOne)(int handle))
{
    for (int slot = 0; slot < table->endSlot; slot++) {
        int handle = HandleAtSlot(table, slot);
        if (handle != -1)
            deleteOne(handle);
    }
    return 0;
}

int ClearHandleTableCounts(HandleTable* table)
{
    table->count = 0;
    table->endSlot = 0;
    return 0;
}
