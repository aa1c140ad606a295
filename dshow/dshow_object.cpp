#include "dshow/dshow_object.h"

#include "runtime/memory.h"

volatile LONG LiveObjectCount;
HMODULE OleAutomationModule;

void* TrackedObjectMemory::operator new(size_t size) noexcept
{
    return AllocTracked(size, "", 0);
}

void TrackedObjectMemory::operator delete(void* block) noexcept
{
    FreeTracked(block);
}

MediaObject::MediaObject(const char*, IUnknown* outer)
    : ownerUnknown(outer ? outer : InnerUnknown()), referenceCount(0)
{
    InterlockedIncrement(&LiveObjectCount);
}

MediaObject::~MediaObject()
{
    if (InterlockedDecrement(&LiveObjectCount) == 0 && OleAutomationModule) {
        FreeLibrary(OleAutomationModule);
        OleAutomationModule = nullptr;
    }
}

HRESULT STDMETHODCALLTYPE MediaObject::InnerQueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown))
        return HandOutInterface(InnerUnknown(), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MediaObject::AddRefCountedObject()
{
    LONG count = InterlockedIncrement(&referenceCount);
    return count > 1 ? (ULONG)count : 1;
}

ULONG STDMETHODCALLTYPE MediaObject::ReleaseCountedObject()
{
    LONG count = InterlockedDecrement(&referenceCount);
    if (count == 0) {
        // Releases made while the object is torn down must not delete it again.
        referenceCount = 1;
        delete this;
        return 0;
    }
    return count > 1 ? (ULONG)count : 1;
}

SyncEvent::SyncEvent(BOOL manualReset)
    : handle(CreateEventA(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr))
{
}

SyncEvent::~SyncEvent()
{
    if (handle)
        CloseHandle(handle);
}

HRESULT HandOutInterface(IUnknown* iface, void** out)
{
    if (!out)
        return E_POINTER;
    *out = iface;
    iface->AddRef();
    return S_OK;
}

HRESULT CopyWideStringToTaskMemory(const WCHAR* text, WCHAR** out)
{
    if (!out)
        return E_POINTER;
    // A pin made without a name answers with an empty one.
    if (!text)
        text = L"";
    size_t length = lstrlenW(text);
    *out = static_cast<WCHAR*>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
    if (!*out)
        return E_OUTOFMEMORY;
    CopyMemory(*out, text, (length + 1) * sizeof(WCHAR));
    return S_OK;
}

WCHAR* CopyWideStringTracked(const WCHAR* text)
{
    size_t bytes = (lstrlenW(text) + (size_t)1) * sizeof(WCHAR);
    WCHAR* copy = static_cast<WCHAR*>(AllocTracked(bytes, "", 0));
    if (copy)
        CopyMemory(copy, text, bytes);
    return copy;
}
