#include "graphics/graph_handles.h"

#include "runtime/library.h"

DEFINE_HANDLE_TABLE(GraphHandles, HANDLE_TYPE_GRAPH, GRAPH_HANDLE_MAX, SLOT_AT_END);

int AllocGraphHandle()
{
    if (IsHandleTableFull(&GraphHandles))
        FatalErrorExit("グラフィックの数が許容量を越えました終了します");
    int handle;
    GraphRecord* record =
        (GraphRecord*)AllocHandleRecord(&GraphHandles, sizeof(GraphRecord), "GraphHandle", __LINE__, &handle);
    if (!record)
        FatalErrorExit("メモリの確保に失敗しました");
    record->handle = handle;
    record->movie = -1;
    return handle;
}

GraphRecord* GetGraphRecord(int handle)
{
    return (GraphRecord*)GetHandleRecord(&GraphHandles, handle);
}

int IsGraphHandleValid(int handle)
{
    return IsHandleValid(&GraphHandles, handle);
}

int SetGraphDeleteFlag(int handle, int* flag)
{
    GraphRecord* record = GetGraphRecord(handle);
    if (!record)
        return -1;
    record->deleteFlag = flag;
    if (flag)
        *flag = 0;
    return 0;
}

int ReleaseGraphHandle(int handle)
{
    GraphRecord* record = GetGraphRecord(handle);
    if (!record)
        return -1;
    if (record->deleteFlag)
        *record->deleteFlag = 1;
    return FreeHandleRecord(&GraphHandles, handle);
}

IDirect3DBaseTexture9* GraphFirstTexture(int handle)
{
    const GraphRecord* record = GetGraphRecord(handle);
    if (!record || !record->image || !record->image->desc.texture || record->image->tileCount < 1)
        return nullptr;
    return record->image->tiles[0].texture;
}
