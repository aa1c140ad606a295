#include <winsock.h>

#include "runtime/network.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>

#include "graphics/handle_table.h"
#include "runtime/helpers.h"
#include "runtime/log.h"
#include "runtime/memory.h"

namespace {

enum { NET_KIND_STREAM = 0, NET_KIND_OTHER = 1 };

// The window message every socket event arrives with.
constexpr UINT NET_SOCKET_MESSAGE = 0x505;

// How long a closing handle may go on receiving, then sending.
constexpr DWORD kFlushMs = 1000;

struct NetHandleRecord {
    uint32_t check;
    int kind;
    int connected;
    int closed;
    int lost;
    int readable;  // other kind only: set by FD_READ
    int writable;  // other kind only: set by FD_WRITE
    SOCKET socket;
    RingBuffer recvRing;
    int recvMissing;      // body bytes of the current block not yet received
    int lastBlockLength;
    RingBuffer sendRing;
    int sendLeft;         // body bytes of the current block not yet sent
    int prefixLeft;       // bytes of prefix[] still to send
    unsigned char prefix[4];
    sockaddr_in peer;
    ListNode node;
    int inRecv;
    int inSend;
};

DEFINE_HANDLE_TABLE(NetTable, HANDLE_TYPE_SOCKET, SOCKET_HANDLE_MAX, SLOT_AT_END);

struct NetState {
    int started;
    HWND window;          // hidden window the socket messages go to
    SOCKET listenSocket;
    int handleCount;
    ListNode head;
    ListNode tail;
};
NetState Net;

NetHandleRecord* GetNet(int handle)
{
    return (NetHandleRecord*)GetHandleRecord(&NetTable, handle);
}

NetHandleRecord* FindBySocket(SOCKET socket)
{
    for (ListNode* n = Net.head.next; n != nullptr && n != &Net.tail; n = n->next) {
        NetHandleRecord* record = (NetHandleRecord*)n->data;
        if (record->socket == socket)
            return record;
    }
    return nullptr;
}

int WouldBlock()
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

// The free bytes after the write position up to the end of the data.
int ContiguousRoom(const RingBuffer* ring)
{
    return ring->size - ring->writePos;
}

void FreeNetRecord(NetHandleRecord* record)
{
    if (Net.window != nullptr)
        WSAAsyncSelect(record->socket, Net.window, 0, 0);
    closesocket(record->socket);
    ReleaseRingBuffer(&record->recvRing);
    ReleaseRingBuffer(&record->sendRing);
    RemoveListNode(&record->node);
    Net.handleCount--;
}

} // namespace

int LogNetworkError(const char* format, ...)
{
    if (!Net.started)
        return -1;
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    WriteLogFormat("%s エラー番号 %d", text, WSAGetLastError());
    return -1;
}

int RecvSocket(int handle)
{
    if (!Net.started)
        return -1;
    NetHandleRecord* record = GetNet(handle);
    if (record == nullptr)
        return -1;
    if (record->inRecv)
        return 0;
    record->inRecv = 1;
    RingBuffer* ring = &record->recvRing;
    int result = 0;
    if (record->recvMissing == 0) {
        unsigned char prefix[4];
        int n = recv(record->socket, (char*)prefix, 4, MSG_PEEK);
        if (n == 4) {
            const int length = (int)((uint32_t)prefix[0] | (uint32_t)prefix[1] << 8 | (uint32_t)prefix[2] << 16 |
                                     (uint32_t)prefix[3] << 24);
            // The peer's length is room to make, never trusted further: a
            // negative one or one the ring cannot grow to ends the connection.
            if (length < 0 || ReserveRingBuffer(ring, length) != 0) {
                LogNetworkError("受信ブロックの長さが不正です(%d byte)", length);
                record->lost = 1;
                record->inRecv = 0;
                return -1;
            }
            recv(record->socket, (char*)prefix, 4, 0);
            record->recvMissing = length;
            record->lastBlockLength = length;
        }
    }
    while (record->recvMissing > 0) {
        WrapRingPositions(ring);
        int piece = ContiguousRoom(ring);
        if (piece > record->recvMissing)
            piece = record->recvMissing;
        const int n = recv(record->socket, (char*)ring->data + ring->writePos, piece, 0);
        if (n == SOCKET_ERROR) {
            if (!WouldBlock()) {
                LogNetworkError("データの受信に失敗しました");
                record->lost = 1;
                result = -1;
            }
            break;
        }
        if (n == 0) {
            record->connected = 0;
            record->closed = 1;
            break;
        }
        ring->writePos += n;
        ring->used += n;
        record->recvMissing -= n;
    }
    record->inRecv = 0;
    return result;
}

int SendSocket(int handle)
{
    if (!Net.started)
        return -1;
    NetHandleRecord* record = GetNet(handle);
    if (record == nullptr)
        return -1;
    if (record->inSend)
        return 0;
    record->inSend = 1;
    RingBuffer* ring = &record->sendRing;
    int result = 0;
    for (;;) {
        if (record->prefixLeft == 0 && record->sendLeft == 0) {
            if (ring->used == 0)
                break;
            const uint32_t length = (uint32_t)ring->used;
            for (int i = 0; i < 4; i++)
                record->prefix[i] = (unsigned char)(length >> (8 * i));
            record->prefixLeft = 4;
            record->sendLeft = ring->used;
        }
        if (record->prefixLeft > 0) {
            const int n = send(record->socket, (const char*)record->prefix + 4 - record->prefixLeft,
                               record->prefixLeft, 0);
            if (n == SOCKET_ERROR) {
                if (!WouldBlock()) {
                    LogNetworkError("データの送信に失敗しました");
                    record->lost = 1;
                    result = -1;
                }
                break;
            }
            record->prefixLeft -= n;
            if (record->prefixLeft > 0)
                continue;
        }
        WrapRingPositions(ring);
        int piece = ring->size - ring->readPos;
        if (piece > record->sendLeft)
            piece = record->sendLeft;
        const int n = send(record->socket, (const char*)ring->data + ring->readPos, piece, 0);
        if (n == SOCKET_ERROR) {
            if (!WouldBlock()) {
                LogNetworkError("データの送信に失敗しました");
                record->lost = 1;
                result = -1;
            }
            break;
        }
        ring->readPos += n;
        ring->used -= n;
        record->sendLeft -= n;
    }
    record->inSend = 0;
    return result;
}

int AcceptNetWork()
{
    if (!Net.started)
        return -1;
    int handle = -1;
    NetHandleRecord* record =
        (NetHandleRecord*)AllocHandleRecord(&NetTable, sizeof(NetHandleRecord), "NetHandle", __LINE__, &handle);
    if (record == nullptr) {
        WriteLog("ネットワークハンドルの確保に失敗しました\n");
        return -1;
    }
    int addressLength = sizeof(record->peer);
    const SOCKET socket = accept(Net.listenSocket, (sockaddr*)&record->peer, &addressLength);
    if (socket == INVALID_SOCKET) {
        FreeHandleRecord(&NetTable, handle);
        return LogNetworkError("接続の受け入れに失敗しました");
    }
    record->socket = socket;
    record->kind = NET_KIND_STREAM;
    record->connected = 1;
    if (WSAAsyncSelect(socket, Net.window, NET_SOCKET_MESSAGE, FD_READ | FD_WRITE | FD_CLOSE) == SOCKET_ERROR) {
        closesocket(socket);
        FreeHandleRecord(&NetTable, handle);
        return LogNetworkError("WSAAsyncSelect に失敗しました");
    }
    InsertListNode(&Net.head, &record->node, handle, record);
    Net.handleCount++;
    return handle;
}

int OnSocketMessage(WPARAM socket, LPARAM event)
{
    if (!Net.started)
        return 0;
    const int what = WSAGETSELECTEVENT(event);
    if (what == FD_ACCEPT) {
        AcceptNetWork();
        return 1;
    }
    NetHandleRecord* record = FindBySocket((SOCKET)socket);
    if (record == nullptr) {
        WriteLog("ソケットに対応するネットワークハンドルがありません\n");
        return 1;
    }
    const int handle = record->node.value;
    if (record->kind != NET_KIND_STREAM) {
        if (what == FD_READ)
            record->readable = 1;
        else if (what == FD_WRITE)
            record->writable = 1;
        else if (what == FD_CLOSE) {
            record->connected = 0;
            record->closed = 1;
        }
        return 1;
    }
    switch (what) {
    case FD_READ:
        RecvSocket(handle);
        break;
    case FD_WRITE:
        SendSocket(handle);
        break;
    case FD_CONNECT:
        if (WSAGETSELECTERROR(event) == 0)
            record->connected = 1;
        break;
    case FD_CLOSE:
        record->connected = 0;
        record->closed = 1;
        break;
    }
    return 1;
}

int CloseNetHandleNow(int handle)
{
    if (!Net.started)
        return -1;
    NetHandleRecord* record = GetNet(handle);
    if (record == nullptr)
        return -1;
    FreeNetRecord(record);
    FreeHandleRecord(&NetTable, handle);
    return 0;
}

int FlushAndCloseNetHandle(int handle)
{
    if (!Net.started)
        return -1;
    NetHandleRecord* record = GetNet(handle);
    if (record == nullptr)
        return -1;
    DWORD start = GetTickCount();
    while (record->recvMissing > 0 && !record->lost && !record->closed && GetTickCount() - start < kFlushMs) {
        RecvSocket(handle);
        Sleep(1);
    }
    start = GetTickCount();
    while ((record->sendRing.used > 0 || record->prefixLeft > 0) && !record->lost &&
           GetTickCount() - start < kFlushMs) {
        SendSocket(handle);
        Sleep(1);
    }
    return CloseNetHandleNow(handle);
}

int PumpNetworkMessages(int closeLost)
{
    if (!Net.started)
        return 0;
    if (closeLost) {
        ListNode* n = Net.head.next;
        while (n != nullptr && n != &Net.tail) {
            ListNode* next = n->next;
            if (((NetHandleRecord*)n->data)->lost)
                FlushAndCloseNetHandle(n->value);
            n = next;
        }
    }
    MSG message;
    while (Net.window != nullptr && PeekMessageA(&message, Net.window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

int TermNetwork()
{
    if (!Net.started)
        return 0;
    WriteLog("ネットワーク関連の終了処理を行います \n");
    DeleteAllHandles(&NetTable, CloseNetHandleNow);
    if (Net.listenSocket != 0 && Net.listenSocket != INVALID_SOCKET) {
        WSAAsyncSelect(Net.listenSocket, Net.window, 0, 0);
        closesocket(Net.listenSocket);
    }
    if (Net.window != nullptr) {
        HWND window = Net.window;
        DestroyWindow(window);
        MSG message;
        while (PeekMessageA(&message, window, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Net.window = nullptr;
    }
    ClearHandleTableCounts(&NetTable);
    WSACleanup();
    FillBytes(&Net, 0, sizeof(Net));
    WriteLog("ネットワーク関連の終了処理は完了しました\n");
    return 0;
}
