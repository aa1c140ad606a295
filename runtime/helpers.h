// Small routines the whole library uses: double-byte aware text, bytes,
// numbers, 128-bit helpers, an intrusive list, full paths and temporary files.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

// Size of every full-path buffer the library fills (MakeFullPath's output).
enum { FULL_PATH_SIZE = 260 };

// The one lead-byte test of all text, path and archive code. Character sets
// 2 to 4 (Korean, Big5, GBK) take every byte with bit 7 set; any other index
// takes the Shift-JIS lead bytes 0x81-0x9F and 0xE0-0xFC.
int IsMultiByteLead(const void* byte, int charSet);
// The library's current character set index.
int CurrentCharSet();
// Bytes of the character at text: 2 for a lead byte followed by a second byte,
// else 1 (a lead byte just before the terminating zero stands alone).
int CharBytes(const char* text);

void CopyText(char* destination, const char* source);
void CopyTextMax(char* destination, const char* source, int n);
const char* FindTextChar(const char* text, int byte);
int CompareText(const char* a, const char* b);
char* UpperCaseText(char* text);
int CompareBytesMax(const void* a, const void* b, int n);
int CompareBytes(const void* a, const void* b, int n);
int FillBytes(void* destination, int value, int n);
void CopyBytes(void* destination, const void* source, int n);
void MoveBytes(void* destination, const void* source, int n);

void SinCosF(float angle, float* sine, float* cosine);
int AbsInt(int v);
float AbsFloat(float v);
int FloatToInt(float v);
int DoubleToInt(double v);
float SqrtFloat(float v);
float PowFloat(float x, float y);

char* IntToText(int value, char* buffer, int radix);
int FormatTextV(char* buffer, const char* format, va_list arguments);
int FormatText(char* buffer, const char* format, ...);

// 128-bit unsigned values as two 64-bit halves.
struct UInt128 {
    uint64_t low, high;
};
void Mul64To128(uint64_t a, uint64_t b, UInt128* product);
void Div128By64(const UInt128* dividend, uint64_t divisor, UInt128* quotient);

struct ListNode {
    int value;
    void* data;
    ListNode* previous;
    ListNode* next;
};
void InitLinkedList(ListNode* head, ListNode* tail);
void InsertListNode(ListNode* after, ListNode* node, int value, void* data);
void RemoveListNode(ListNode* node);

// Normalised full path of `path` (the current directory of the file layer
// when base is null) into `out`, which holds FULL_PATH_SIZE bytes. 0, or -1
// (out emptied) when the result or a component would not fit, or the current
// directory cannot be had.
int MakeFullPath(const char* path, char* out, const char* base);
// A new empty temporary file opened for writing: a Win32 file handle, or
// INVALID_HANDLE_VALUE on failure. Its path goes to out (FULL_PATH_SIZE bytes)
// when given.
void* CreateTempFile(char* out);
