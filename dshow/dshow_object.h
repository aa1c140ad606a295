// The counted object base of the library's DirectShow classes: the inner
// unknown that answers for the object, the owner unknown that every further
// interface delegates to (the aggregating object's, or the inner one), the
// process-wide count of live objects and a few COM hand-out helpers.
#pragma once

#include <windows.h>
#include <evcode.h>
#include <strmif.h>
#include <vfwmsgs.h>
#include <stddef.h>

// Framework objects live in the library's tracked memory. The allocation is
// noexcept, so a failed `new` yields null instead of throwing and callers
// answer E_OUTOFMEMORY.
struct TrackedObjectMemory {
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;
};

// Live framework objects (MediaObject and everything built on it); changed
// only by interlocked steps. When it returns to zero the OleAut32 module,
// loaded for the IMediaPosition type information, is freed.
extern volatile LONG LiveObjectCount;
extern HMODULE OleAutomationModule;

class MediaObject : public TrackedObjectMemory {
public:
    // The name is a label for debugging and is not kept. A null outer unknown
    // makes the object its own owner.
    MediaObject(const char* objectName, IUnknown* outer);

    // The inner unknown's table, laid out as IUnknown's so that InnerUnknown()
    // can be handed to COM (slots 0 to 2), then the destructor.
    virtual HRESULT STDMETHODCALLTYPE InnerQueryInterface(REFIID iid, void** out);
    virtual ULONG STDMETHODCALLTYPE AddRefCountedObject();
    virtual ULONG STDMETHODCALLTYPE ReleaseCountedObject();
    virtual ~MediaObject();

    IUnknown* InnerUnknown() { return reinterpret_cast<IUnknown*>(static_cast<MediaObject*>(this)); }
    IUnknown* OwnerUnknown() const { return ownerUnknown; }

    // Bodies of QueryInterface, AddRef and Release of every further interface
    // of the object: they count on the whole object or its aggregator.
    HRESULT ForwardQueryInterface(REFIID iid, void** out) { return ownerUnknown->QueryInterface(iid, out); }
    ULONG ForwardAddRef() { return ownerUnknown->AddRef(); }
    ULONG ForwardRelease() { return ownerUnknown->Release(); }

    IUnknown* ownerUnknown;
    volatile LONG referenceCount; // 0 after construction
};

// The three IUnknown entries of a further interface, forwarding to the owner.
// A class that adds an interface repeats this so that it overrides the new
// interface's entries too.
#define DSHOW_FORWARD_UNKNOWN                                                          \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override          \
    {                                                                                  \
        return ForwardQueryInterface(iid, out);                                        \
    }                                                                                  \
    ULONG STDMETHODCALLTYPE AddRef() override { return ForwardAddRef(); }              \
    ULONG STDMETHODCALLTYPE Release() override { return ForwardRelease(); }

// Owner of one Win32 event; a creation failure leaves a null handle.
class SyncEvent {
public:
    explicit SyncEvent(BOOL manualReset = FALSE);
    ~SyncEvent();
    SyncEvent(const SyncEvent&) = delete;
    SyncEvent& operator=(const SyncEvent&) = delete;
    HANDLE handle;
};

// out = interface, AddRef-ed; E_POINTER for a null out.
HRESULT HandOutInterface(IUnknown* iface, void** out);
// A copy of a wide string in the library's tracked memory (freed with
// FreeTracked), or null when memory runs out.
WCHAR* CopyWideStringTracked(const WCHAR* text);
// A CoTaskMemAlloc copy of a wide string (with its terminator) for callers
// that free it themselves.
HRESULT CopyWideStringToTaskMemory(const WCHAR* text, WCHAR** out);
