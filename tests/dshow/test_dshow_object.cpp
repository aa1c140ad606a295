// The counted object base with inner and outer unknowns, the media-type record
// rules and the object list.
#include <gtest/gtest.h>

#include <windows.h>
#include <uuids.h>

#include <string.h>

#include "dshow/dshow_media_type.h"
#include "dshow/dshow_object.h"
#include "dshow/dshow_object_list.h"
#include "runtime/memory.h"
#include "tests/dshow/dshow_test_filter.h"

namespace {

// A plain COM object that counts its references, to watch what a record or an
// aggregated part does with the pointers it is given.
class CountedUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualGUID(iid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
    LONG count = 1;
};

// An object that aggregates a TestFilter: it answers IUnknown itself and asks
// the inner object for everything else.
class Aggregator : public IUnknown {
public:
    Aggregator() { inner = (new TestFilter(this))->InnerUnknown(); inner->AddRef(); }
    ~Aggregator() { inner->Release(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualGUID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
    LONG count = 1;
    IUnknown* inner;
};

// Its destructor takes and drops a reference through its own interfaces, as
// teardown code may.
class SelfQueryingObject : public MediaObject {
public:
    explicit SelfQueryingObject(int* destroyed) : MediaObject("Self", nullptr), destroyed(destroyed) {}
    ~SelfQueryingObject() override
    {
        IUnknown* self = nullptr;
        InnerUnknown()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&self));
        self->Release();
        (*destroyed)++;
    }
    int* destroyed;
};

} // namespace

TEST(DShowObject, OwnObjectCountsAndAnswersUnknownFromEveryInterface)
{
    LONG live = LiveObjectCount;
    TestFilter* filter = new TestFilter();
    EXPECT_EQ(live + 1, LiveObjectCount);
    EXPECT_EQ(0, filter->referenceCount);

    IUnknown* inner = filter->InnerUnknown();
    IBaseFilter* base = nullptr;
    ASSERT_EQ(S_OK, inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&base)));
    EXPECT_EQ(1, filter->referenceCount);
    IAMovieSetup* setup = nullptr;
    ASSERT_EQ(S_OK, base->QueryInterface(IID_IAMovieSetup, reinterpret_cast<void**>(&setup)));
    EXPECT_EQ(2, filter->referenceCount);

    IUnknown* fromBase = nullptr;
    IUnknown* fromSetup = nullptr;
    ASSERT_EQ(S_OK, base->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromBase)));
    ASSERT_EQ(S_OK, setup->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&fromSetup)));
    EXPECT_EQ(inner, fromBase);
    EXPECT_EQ(inner, fromSetup);
    fromBase->Release();
    fromSetup->Release();

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, base->QueryInterface(IID_IMemAllocator, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_POINTER, filter->InnerQueryInterface(IID_IUnknown, nullptr));

    int destroyed = 0;
    filter->destroyedCount = &destroyed;
    setup->Release();
    EXPECT_EQ(0u, base->Release());
    EXPECT_EQ(1, destroyed);
    EXPECT_EQ(live, LiveObjectCount);
}

TEST(DShowObject, AggregatedObjectCountsOnItsOuterUnknown)
{
    LONG live = LiveObjectCount;
    {
        Aggregator outer;
        TestFilter* filter = static_cast<TestFilter*>(reinterpret_cast<MediaObject*>(outer.inner));
        EXPECT_EQ(static_cast<IUnknown*>(&outer), filter->OwnerUnknown());
        EXPECT_EQ(1, filter->referenceCount);

        IBaseFilter* base = nullptr;
        ASSERT_EQ(S_OK, outer.QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&base)));
        // The interface counts on the outer object, not on the part.
        EXPECT_EQ(2, outer.count);
        EXPECT_EQ(1, filter->referenceCount);
        base->AddRef();
        EXPECT_EQ(3, outer.count);

        IUnknown* unknown = nullptr;
        ASSERT_EQ(S_OK, base->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
        EXPECT_EQ(static_cast<IUnknown*>(&outer), unknown);
        unknown->Release();
        base->Release();
        base->Release();
        EXPECT_EQ(1, outer.count);
        EXPECT_EQ(live + 1, LiveObjectCount);
    }
    EXPECT_EQ(live, LiveObjectCount);
}

TEST(DShowObject, LastReleaseDestroysOnceEvenWhenTheDestructorCountsAgain)
{
    int destroyed = 0;
    SelfQueryingObject* object = new SelfQueryingObject(&destroyed);
    IUnknown* inner = object->InnerUnknown();
    EXPECT_EQ(1u, inner->AddRef());
    EXPECT_EQ(2u, inner->AddRef());
    EXPECT_EQ(1u, inner->Release());
    EXPECT_EQ(0u, inner->Release());
    EXPECT_EQ(1, destroyed);
}

TEST(DShowObject, OleAutomationModuleIsFreedWhenTheLastObjectGoes)
{
    ASSERT_EQ(0, LiveObjectCount) << "an earlier test left framework objects alive";
    OleAutomationModule = LoadLibraryA("OleAut32.dll");
    ASSERT_NE(nullptr, OleAutomationModule);
    TestFilter* first = new TestFilter();
    TestFilter* second = new TestFilter();
    delete first;
    EXPECT_NE(nullptr, OleAutomationModule);
    delete second;
    EXPECT_EQ(nullptr, OleAutomationModule);
}

TEST(DShowObject, SyncEventAndWideStringCopies)
{
    SyncEvent manual(TRUE);
    ASSERT_NE(nullptr, manual.handle);
    SetEvent(manual.handle);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(manual.handle, 0));
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(manual.handle, 0)); // stays signalled
    SyncEvent automatic;
    SetEvent(automatic.handle);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(automatic.handle, 0));
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(automatic.handle, 0));

    WCHAR* copy = nullptr;
    ASSERT_EQ(S_OK, CopyWideStringToTaskMemory(L"Output", &copy));
    EXPECT_STREQ(L"Output", copy);
    CoTaskMemFree(copy);
    EXPECT_EQ(E_POINTER, CopyWideStringToTaskMemory(L"x", nullptr));
    // A pin without a name answers with an empty one.
    ASSERT_EQ(S_OK, CopyWideStringToTaskMemory(nullptr, &copy));
    EXPECT_STREQ(L"", copy);
    CoTaskMemFree(copy);
}

TEST(DShowMediaType, CopyTakesItsOwnFormatAndUnknownReference)
{
    CountedUnknown unknown;
    MediaTypeObject source;
    MakeTestType(&source, MEDIASUBTYPE_PCM, 18, 0x5A);
    source.pUnk = &unknown;
    unknown.AddRef();

    AM_MEDIA_TYPE* copy = DuplicateMediaTypeRecord(&source);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(3, unknown.count);
    EXPECT_NE(source.pbFormat, copy->pbFormat);
    EXPECT_EQ(0, memcmp(source.pbFormat, copy->pbFormat, 18));
    EXPECT_TRUE(MediaTypeRecordsEqual(&source, copy));
    DestroyMediaTypeRecord(copy);
    EXPECT_EQ(2, unknown.count);
    DestroyMediaTypeRecord(nullptr);

    // A format pointer without a size is copied as it stands and never freed.
    BYTE outside[4] = {};
    AM_MEDIA_TYPE borrowed;
    MakeTestType(&borrowed, MEDIASUBTYPE_PCM);
    borrowed.pbFormat = outside;
    AM_MEDIA_TYPE target;
    ASSERT_EQ(S_OK, CopyMediaTypeRecord(&target, &borrowed));
    EXPECT_EQ(outside, target.pbFormat);
    ReleaseMediaTypeFormat(&target);
    EXPECT_EQ(outside, target.pbFormat);

    // Assigning an object to itself keeps its parts.
    BYTE* format = source.pbFormat;
    EXPECT_EQ(S_OK, SetMediaTypeObject(&source, &source));
    EXPECT_EQ(format, source.pbFormat);
    EXPECT_EQ(2, unknown.count);

    MediaTypeObject other;
    other = source;
    EXPECT_EQ(3, unknown.count);
    EXPECT_TRUE(MediaTypeRecordsEqual(&other, &source));
    AM_MEDIA_TYPE reset;
    memset(&reset, 0xCC, sizeof(reset));
    ResetMediaTypeRecord(&reset);
    EXPECT_TRUE(reset.bFixedSizeSamples);
    EXPECT_EQ(1u, reset.lSampleSize);
    EXPECT_EQ(nullptr, reset.pbFormat);
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, reset.majortype));
}

TEST(DShowMediaType, EqualityAndPartialMatchRules)
{
    struct Case {
        const char* what;
        GUID major, subtype, format;
        ULONG formatBytes;
        BYTE fill;
        int equal, matches;
    };
    // Each record is compared with a complete audio PCM WAVEFORMATEX type of
    // 4 bytes filled with 1; matches = that type against this one as partial.
    const Case cases[] = {
        {"same", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, 4, 1, 1, 1},
        {"other bytes", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, 4, 2, 0, 0},
        {"other size", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, 5, 1, 0, 0},
        {"other subtype", MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload, FORMAT_WaveFormatEx, 4, 1, 0, 0},
        {"all null", GUID_NULL, GUID_NULL, GUID_NULL, 0, 0, 0, 1},
        {"major only", MEDIATYPE_Audio, GUID_NULL, GUID_NULL, 0, 0, 0, 1},
        {"other major", MEDIATYPE_Video, GUID_NULL, GUID_NULL, 0, 0, 0, 0},
        {"null format type ignores bytes", MEDIATYPE_Audio, MEDIASUBTYPE_PCM, GUID_NULL, 9, 9, 0, 1},
        {"other format type", MEDIATYPE_Audio, GUID_NULL, FORMAT_VideoInfo, 4, 1, 0, 0},
        {"format without bytes", MEDIATYPE_Audio, GUID_NULL, FORMAT_WaveFormatEx, 0, 0, 0, 0},
    };
    MediaTypeObject candidate;
    MakeTestType(&candidate, MEDIASUBTYPE_PCM, 4, 1);
    for (const Case& c : cases) {
        MediaTypeObject other;
        MakeTestType(&other, c.subtype, c.formatBytes, c.fill);
        other.majortype = c.major;
        other.formattype = c.format;
        other.lSampleSize = 77; // never compared
        other.bTemporalCompression = TRUE;
        EXPECT_EQ(c.equal, MediaTypeRecordsEqual(&candidate, &other)) << c.what;
        EXPECT_EQ(!c.equal, MediaTypeRecordsDiffer(&candidate, &other)) << c.what;
        EXPECT_EQ(c.matches, MatchesPartialMediaType(&candidate, &other)) << c.what;
    }

    MediaTypeObject partial;
    MakeTestType(&partial, GUID_NULL);
    EXPECT_EQ(0, IsPartialMediaType(&partial)) << "a null subtype alone leaves a type complete";
    partial.formattype = GUID_NULL;
    EXPECT_EQ(1, IsPartialMediaType(&partial));
    SetMediaMajorType(&partial, &GUID_NULL);
    SetMediaSubtypeGuid(&partial, &MEDIASUBTYPE_PCM);
    EXPECT_TRUE(IsEqualGUID(MEDIASUBTYPE_PCM, partial.subtype));
    EXPECT_EQ(1, IsPartialMediaType(&partial));
}

TEST(DShowObjectList, NodesAreCachedUpToTheLimit)
{
    ObjectList list;
    ConstructObjectList(&list);
    int objects[12];
    int before = GetAllocCount();
    for (int& object : objects)
        ASSERT_NE(nullptr, ListAddTail(&list, &object));
    EXPECT_EQ(12, list.count);
    EXPECT_EQ(before + 12, GetAllocCount());

    for (int index = 0; index < 12; index++)
        EXPECT_EQ(&objects[index], ListRemoveHead(&list));
    EXPECT_EQ(nullptr, ListRemoveHead(&list));
    EXPECT_EQ(0, list.count);
    EXPECT_EQ(10, list.cache.count);
    EXPECT_EQ(before + 10, GetAllocCount());

    for (int index = 0; index < 10; index++)
        ListAddTail(&list, &objects[index]);
    EXPECT_EQ(before + 10, GetAllocCount()) << "cached nodes are used first";
    EXPECT_EQ(0, list.cache.count);

    // Remove from the middle and the ends; the walk sees what is left, in order.
    ListRemove(&list, ListFind(&list, &objects[4]));
    ListRemove(&list, ListFind(&list, &objects[0]));
    ListRemove(&list, ListFind(&list, &objects[9]));
    EXPECT_EQ(nullptr, ListRemove(&list, nullptr));
    EXPECT_EQ(nullptr, ListFind(&list, &objects[4]));
    const int expected[] = {1, 2, 3, 5, 6, 7, 8};
    ListPosition position = list.head;
    for (int index : expected)
        EXPECT_EQ(&objects[index], ListGetNext(&position));
    EXPECT_EQ(nullptr, position);
    EXPECT_EQ(nullptr, ListGetNext(&position));
    EXPECT_EQ(list.head, ListNextPosition(&list, nullptr));
    EXPECT_EQ(list.head->next, ListNextPosition(&list, list.head));
    EXPECT_EQ(&objects[1], ListObjectAt(list.head));
    EXPECT_EQ(nullptr, ListObjectAt(nullptr));

    ObjectList copy;
    ConstructObjectList(&copy);
    EXPECT_EQ(1, ListAddTailAll(&copy, &list));
    EXPECT_EQ(7, copy.count);
    EXPECT_EQ(&objects[8], ListObjectAt(copy.tail));
    DestroyObjectList(&copy);

    ListRemoveAll(&list);
    EXPECT_EQ(nullptr, list.head);
    EXPECT_EQ(nullptr, list.tail);
    EXPECT_EQ(3, list.cache.count) << "removing all frees the nodes without caching them";
    DestroyObjectList(&list);
    EXPECT_EQ(before, GetAllocCount());
}
