#include "dshow/dshow_media_type.h"

#include <string.h>

AM_MEDIA_TYPE* DuplicateMediaTypeRecord(const AM_MEDIA_TYPE* record)
{
    AM_MEDIA_TYPE* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!copy)
        return nullptr;
    if (FAILED(CopyMediaTypeRecord(copy, record))) {
        ReleaseMediaTypeFormat(copy);
        CoTaskMemFree(copy);
        return nullptr;
    }
    return copy;
}

HRESULT CopyMediaTypeRecord(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source)
{
    *target = *source;
    if (target->pUnk)
        target->pUnk->AddRef();
    if (source->cbFormat != 0) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (!target->pbFormat) {
            target->cbFormat = 0;
            return E_OUTOFMEMORY;
        }
        if (source->pbFormat)
            memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
        else
            memset(target->pbFormat, 0, source->cbFormat);
    }
    return S_OK;
}

void ReleaseMediaTypeFormat(AM_MEDIA_TYPE* record)
{
    if (record->cbFormat != 0) {
        CoTaskMemFree(record->pbFormat);
        record->cbFormat = 0;
        record->pbFormat = nullptr;
    }
    if (record->pUnk) {
        record->pUnk->Release();
        record->pUnk = nullptr;
    }
}

void DestroyMediaTypeRecord(AM_MEDIA_TYPE* record)
{
    if (!record)
        return;
    ReleaseMediaTypeFormat(record);
    CoTaskMemFree(record);
}

void ResetMediaTypeRecord(AM_MEDIA_TYPE* record)
{
    memset(record, 0, sizeof(*record));
    record->bFixedSizeSamples = TRUE;
    record->lSampleSize = 1;
}

// Equal format blocks; a block missing behind a non-zero size only equals the
// same missing block.
static int FormatBytesEqual(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE* b)
{
    if (a->cbFormat != b->cbFormat)
        return 0;
    if (a->cbFormat == 0)
        return 1;
    if (!a->pbFormat || !b->pbFormat)
        return a->pbFormat == b->pbFormat;
    return memcmp(a->pbFormat, b->pbFormat, a->cbFormat) == 0;
}

int MediaTypeRecordsEqual(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE* b)
{
    return IsEqualGUID(a->majortype, b->majortype) && IsEqualGUID(a->subtype, b->subtype) &&
           IsEqualGUID(a->formattype, b->formattype) && FormatBytesEqual(a, b);
}

int MediaTypeRecordsDiffer(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE* b)
{
    return !MediaTypeRecordsEqual(a, b);
}

int IsPartialMediaType(const AM_MEDIA_TYPE* record)
{
    return IsEqualGUID(record->majortype, GUID_NULL) || IsEqualGUID(record->formattype, GUID_NULL);
}

int MatchesPartialMediaType(const AM_MEDIA_TYPE* candidate, const AM_MEDIA_TYPE* partial)
{
    if (!IsEqualGUID(partial->majortype, GUID_NULL) && !IsEqualGUID(partial->majortype, candidate->majortype))
        return 0;
    if (!IsEqualGUID(partial->subtype, GUID_NULL) && !IsEqualGUID(partial->subtype, candidate->subtype))
        return 0;
    if (IsEqualGUID(partial->formattype, GUID_NULL))
        return 1;
    if (!IsEqualGUID(partial->formattype, candidate->formattype))
        return 0;
    return FormatBytesEqual(candidate, partial);
}

void SetMediaMajorType(AM_MEDIA_TYPE* record, const GUID* guid)
{
    record->majortype = *guid;
}

void SetMediaSubtypeGuid(AM_MEDIA_TYPE* record, const GUID* guid)
{
    record->subtype = *guid;
}

MediaTypeObject::MediaTypeObject()
{
    InitMediaTypeObject(this);
}

MediaTypeObject::~MediaTypeObject()
{
    ClearMediaTypeObject(this);
}

MediaTypeObject& MediaTypeObject::operator=(const MediaTypeObject& source)
{
    return *AssignMediaTypeObject(this, &source);
}

MediaTypeObject& MediaTypeObject::operator=(const AM_MEDIA_TYPE& source)
{
    return *AssignMediaTypeObject(this, &source);
}

void InitMediaTypeObject(MediaTypeObject* object)
{
    ResetMediaTypeRecord(object);
}

void ClearMediaTypeObject(MediaTypeObject* object)
{
    ReleaseMediaTypeFormat(object);
}

HRESULT SetMediaTypeObject(MediaTypeObject* object, const AM_MEDIA_TYPE* source)
{
    if (source == object)
        return S_OK;
    ReleaseMediaTypeFormat(object);
    return FAILED(CopyMediaTypeRecord(object, source)) ? E_OUTOFMEMORY : S_OK;
}

MediaTypeObject* AssignMediaTypeObject(MediaTypeObject* object, const AM_MEDIA_TYPE* source)
{
    SetMediaTypeObject(object, source);
    return object;
}
