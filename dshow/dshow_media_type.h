// Media-type records (the platform's AM_MEDIA_TYPE) with the framework's copy,
// free and compare rules. A record owns its format block (CoTaskMemAlloc) and
// one reference on pUnk; a record handed out as a pointer is itself a
// CoTaskMemAlloc block freed with DestroyMediaTypeRecord.
#pragma once

#include <windows.h>
#include <strmif.h>

// A CoTaskMemAlloc copy of record, or null when memory runs out.
AM_MEDIA_TYPE* DuplicateMediaTypeRecord(const AM_MEDIA_TYPE* record);
// Copies every field into target, which takes its own reference on pUnk and
// its own format block; E_OUTOFMEMORY (format dropped) when the block cannot
// be had.
HRESULT CopyMediaTypeRecord(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// Frees the format block and the pUnk reference; the record stays.
void ReleaseMediaTypeFormat(AM_MEDIA_TYPE* record);
// ReleaseMediaTypeFormat and CoTaskMemFree of the record; null is ignored.
void DestroyMediaTypeRecord(AM_MEDIA_TYPE* record);
// All zero, then fixed-size samples of size 1.
void ResetMediaTypeRecord(AM_MEDIA_TYPE* record);

// 1 when major type, subtype, format type and the format bytes agree; the
// sample-size fields and pUnk do not count.
int MediaTypeRecordsEqual(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE* b);
int MediaTypeRecordsDiffer(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE* b);
// 1 when the major type or the format type is GUID_NULL.
int IsPartialMediaType(const AM_MEDIA_TYPE* record);
// 1 when candidate fits every field that partial fixes.
int MatchesPartialMediaType(const AM_MEDIA_TYPE* candidate, const AM_MEDIA_TYPE* partial);
void SetMediaMajorType(AM_MEDIA_TYPE* record, const GUID* guid);
void SetMediaSubtypeGuid(AM_MEDIA_TYPE* record, const GUID* guid);

// A record embedded in another object that owns its parts.
struct MediaTypeObject : AM_MEDIA_TYPE {
    MediaTypeObject();
    ~MediaTypeObject();
    MediaTypeObject(const MediaTypeObject&) = delete;
    MediaTypeObject& operator=(const MediaTypeObject& source);
    MediaTypeObject& operator=(const AM_MEDIA_TYPE& source);
};

void InitMediaTypeObject(MediaTypeObject* object);
void ClearMediaTypeObject(MediaTypeObject* object);
// Replaces the object's type with a copy of source (itself: nothing to do);
// E_OUTOFMEMORY when the copy fails.
HRESULT SetMediaTypeObject(MediaTypeObject* object, const AM_MEDIA_TYPE* source);
MediaTypeObject* AssignMediaTypeObject(MediaTypeObject* object, const AM_MEDIA_TYPE* source);
