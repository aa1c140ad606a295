#include "runtime/helpers.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "runtime/system_state.h"

int IsMultiByteLead(const void* byte, int charSet)
{
    unsigned c = *(const unsigned char*)byte;
    if (charSet >= 2 && charSet <= 4)
        return c >= 0x80;
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

int CurrentCharSet()
{
    return SystemState.settings.charSet;
}

int CharBytes(const char* text)
{
    return IsMultiByteLead(text, CurrentCharSet()) && text[1] != 0 ? 2 : 1;
}

void CopyText(char* destination, const char* source)
{
    while ((*destination++ = *source++) != 0) {
    }
}

void CopyTextMax(char* destination, const char* source, int n)
{
    int i = 0;
    for (; i < n && source[i]; i++)
        destination[i] = source[i];
    destination[i] = 0;
}

const char* FindTextChar(const char* text, int byte)
{
    for (const char* p = text; *p;) {
        int bytes = CharBytes(p);
        if (bytes == 1 && (unsigned char)*p == (unsigned char)byte)
            return p;
        p += bytes;
    }
    return nullptr;
}

int CompareText(const char* a, const char* b)
{
    return strcmp(a, b) == 0 ? 0 : 1;
}

char* UpperCaseText(char* text)
{
    char* p = text;
    while (*p) {
        int bytes = CharBytes(p);
        if (bytes == 1 && *p >= 'a' && *p <= 'z')
            *p = (char)(*p - 'a' + 'A');
        p += bytes;
    }
    return p;
}

int CompareBytesMax(const void* a, const void* b, int n)
{
    if (n < 0)
        return 1;
    return memcmp(a, b, (size_t)n) == 0 ? 0 : 1;
}

int CompareBytes(const void* a, const void* b, int n)
{
    return CompareBytesMax(a, b, n);
}

int FillBytes(void* destination, int value, int n)
{
    if (n > 0)
        memset(destination, value, (size_t)n);
    return value;
}

void CopyBytes(void* destination, const void* source, int n)
{
    unsigned char* d = (unsigned char*)destination;
    const unsigned char* s = (const unsigned char*)source;
    for (int i = 0; i < n; i++)
        d[i] = s[i];
}

void MoveBytes(void* destination, const void* source, int n)
{
    if (n > 0)
        memmove(destination, source, (size_t)n);
}

void SinCosF(float angle, float* sine, float* cosine)
{
    *sine = sinf(angle);
    *cosine = cosf(angle);
}

int AbsInt(int v) { return v < 0 ? -v : v; }
float AbsFloat(float v) { return v < 0 ? -v : v; }

// Built for SSE: these conversions truncate whatever the x87 rounding mode.
int FloatToInt(float v) { return (int)v; }
int DoubleToInt(double v) { return (int)v; }
float SqrtFloat(float v) { return sqrtf(v); }
float PowFloat(float x, float y) { return powf(x, y); }

char* IntToText(int value, char* buffer, int radix)
{
    if (radix < 2 || radix > 36)
        radix = 10;
    char digits[40];
    int n = 0;
    // Work on the magnitude as unsigned so that every int value is safe.
    unsigned magnitude = value < 0 ? 0u - (unsigned)value : (unsigned)value;
    do {
        unsigned d = magnitude % (unsigned)radix;
        digits[n++] = (char)(d < 10 ? '0' + d : 'a' + d - 10);
        magnitude /= (unsigned)radix;
    } while (magnitude);
    char* p = buffer;
    if (value < 0)
        *p++ = '-';
    while (n)
        *p++ = digits[--n];
    *p = 0;
    return buffer;
}

int FormatTextV(char* buffer, const char* format, va_list arguments)
{
    vsprintf(buffer, format, arguments);
    return 0;
}

int FormatText(char* buffer, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    FormatTextV(buffer, format, arguments);
    va_end(arguments);
    return 0;
}

void Mul64To128(uint64_t a, uint64_t b, UInt128* product)
{
    uint64_t aLow = (uint32_t)a, aHigh = a >> 32;
    uint64_t bLow = (uint32_t)b, bHigh = b >> 32;
    uint64_t ll = aLow * bLow, lh = aLow * bHigh, hl = aHigh * bLow, hh = aHigh * bHigh;
    uint64_t middle = (ll >> 32) + (uint32_t)lh + (uint32_t)hl;
    product->low = (middle << 32) | (uint32_t)ll;
    product->high = hh + (lh >> 32) + (hl >> 32) + (middle >> 32);
}

void Div128By64(const UInt128* dividend, uint64_t divisor, UInt128* quotient)
{
    // Shift and subtract, one quotient bit a step.
    UInt128 q = {0, 0};
    uint64_t remainder = 0;
    for (int bit = 127; bit >= 0; bit--) {
        uint64_t carry = remainder >> 63;
        uint64_t next = bit >= 64 ? (dividend->high >> (bit - 64)) & 1 : (dividend->low >> bit) & 1;
        remainder = (remainder << 1) | next;
        if (carry || remainder >= divisor) {
            remainder -= divisor;
            if (bit >= 64)
                q.high |= 1ull << (bit - 64);
            else
                q.low |= 1ull << bit;
        }
    }
    *quotient = q;
}

void InitLinkedList(ListNode* head, ListNode* tail)
{
    head->value = tail->value = -1;
    head->data = tail->data = nullptr;
    head->previous = nullptr;
    head->next = tail;
    tail->previous = head;
    tail->next = nullptr;
}

void InsertListNode(ListNode* after, ListNode* node, int value, void* data)
{
    node->value = value;
    node->data = data;
    node->previous = after;
    node->next = after->next;
    if (after->next)
        after->next->previous = node;
    after->next = node;
}

void RemoveListNode(ListNode* node)
{
    if (node->previous)
        node->previous->next = node->next;
    if (node->next)
        node->next->previous = node->previous;
    node->previous = node->next = nullptr;
}
