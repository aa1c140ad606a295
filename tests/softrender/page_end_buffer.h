// Test memory that ends exactly where an inaccessible page starts, so that a
// read or write one byte past it faults at once.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

class PageEndBuffer {
public:
    explicit PageEndBuffer(size_t bytes)
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const size_t page = info.dwPageSize;
        span_ = (bytes + page - 1) / page * page;
        base_ = (uint8_t*)VirtualAlloc(nullptr, span_ + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        DWORD old;
        VirtualProtect(base_ + span_, page, PAGE_NOACCESS, &old);
        data_ = base_ + span_ - bytes;
    }
    ~PageEndBuffer() { VirtualFree(base_, 0, MEM_RELEASE); }
    PageEndBuffer(const PageEndBuffer&) = delete;
    PageEndBuffer& operator=(const PageEndBuffer&) = delete;
    uint8_t* data() const { return data_; }

private:
    uint8_t* base_;
    uint8_t* data_;
    size_t span_;
};
