// The library's small helpers: double-byte aware text, numbers, 128-bit
// arithmetic, the intrusive list, full paths and temporary files.
#include <gtest/gtest.h>
#include <windows.h>
#include <xmmintrin.h>

#include <string>

#include "runtime/file/stream.h"
#include "runtime/helpers.h"
#include "runtime/system_state.h"

namespace {

// Runs a test body under a given character set and puts the old one back.
struct CharSetScope {
    int saved;
    explicit CharSetScope(int charSet) : saved(SystemState.settings.charSet)
    {
        SystemState.settings.charSet = charSet;
    }
    ~CharSetScope() { SystemState.settings.charSet = saved; }
};

} // namespace

TEST(LeadByte, FollowsTheCharacterSet)
{
    struct Case {
        unsigned char byte;
        int charSet;
        int lead;
    } cases[] = {
        {0x81, 1, 1}, {0x9F, 1, 1}, {0xA0, 1, 0}, {0xDF, 1, 0}, {0xE0, 1, 1}, {0xFC, 1, 1},
        {0xFD, 1, 0}, {0x80, 1, 0}, {0x41, 1, 0}, {0x81, 0, 1}, {0xA0, 0, 0}, {0xA0, 5, 0},
        {0x80, 2, 1}, {0xA0, 2, 1}, {0xFF, 3, 1}, {0xA0, 4, 1}, {0x7F, 4, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.lead, IsMultiByteLead(&c.byte, c.charSet)) << std::hex << (int)c.byte << " set " << c.charSet;
}

TEST(TextHelpers, ALeadByteBeforeTheEndIsOneByte)
{
    CharSetScope scope(1);
    EXPECT_EQ(2, CharBytes("\x83\x5C"));
    EXPECT_EQ(1, CharBytes("\x83"));
    EXPECT_EQ(1, CharBytes("a"));

    // Searching steps over a whole character: 0x83 0x5C is one character
    // whose trail byte equals the backslash.
    const char* text = "ab\x83\x5C" "c\\d";
    EXPECT_EQ(text + 5, FindTextChar(text, '\\'));
    EXPECT_EQ(nullptr, FindTextChar("", 'a'));
    EXPECT_EQ(nullptr, FindTextChar("abc", 'z'));

    // A text that ends in a lead byte: the search and the upper-casing stop
    // at the terminating zero instead of reading past it.
    char buffer[8] = {'a', 'b', '\x83', 0, 'x', 'y', 0, 0};
    EXPECT_EQ(nullptr, FindTextChar(buffer, 'x'));
    char* end = UpperCaseText(buffer);
    EXPECT_EQ(buffer + 3, end);
    EXPECT_STREQ("AB\x83", buffer);
    EXPECT_EQ('x', buffer[4]);

    // Double-byte characters are not upper-cased by halves (0x82 0x61 is a
    // character whose trail byte is 'a').
    char mixed[] = "a\x82\x61z";
    UpperCaseText(mixed);
    EXPECT_STREQ("A\x82\x61Z", mixed);
}

TEST(TextHelpers, CopiesAndComparisons)
{
    char out[8];
    struct Case {
        const char* source;
        int n;
        const char* expected;
    } copies[] = {{"hello", 3, "hel"}, {"hi", 5, "hi"}, {"hello", 0, ""}, {"hello", -4, ""}, {"", 3, ""}};
    for (const Case& c : copies) {
        memset(out, 'X', sizeof out);
        CopyTextMax(out, c.source, c.n);
        EXPECT_STREQ(c.expected, out) << c.source << " " << c.n;
    }
    CopyText(out, "abc");
    EXPECT_STREQ("abc", out);

    EXPECT_EQ(0, CompareText("abc", "abc"));
    EXPECT_EQ(1, CompareText("abc", "abd"));
    EXPECT_EQ(1, CompareText("abc", "ab"));
    EXPECT_EQ(0, CompareBytesMax("ab\0x", "ab\0x", 4));
    EXPECT_EQ(1, CompareBytesMax("ab\0x", "ab\0y", 4));
    EXPECT_EQ(0, CompareBytesMax("a", "b", 0));
    EXPECT_EQ(1, CompareBytesMax("a", "a", -1));
    EXPECT_EQ(0, CompareBytes("abc", "abd", 2));
}

TEST(ByteHelpers, FillCopyAndOverlappingMoves)
{
    unsigned char bytes[10];
    EXPECT_EQ(0x5A, FillBytes(bytes, 0x5A, 10));
    for (unsigned char b : bytes)
        EXPECT_EQ(0x5A, b);

    char forward[] = "0123456789";
    MoveBytes(forward + 2, forward, 5);
    EXPECT_STREQ("0101234789", forward);
    char backward[] = "0123456789";
    MoveBytes(backward, backward + 2, 5);
    EXPECT_STREQ("2345656789", backward);
    char copy[4] = {};
    CopyBytes(copy, "xyz", 3);
    EXPECT_STREQ("xyz", copy);
}

TEST(NumberHelpers, IntToTextInEveryRadix)
{
    struct Case {
        int value;
        int radix;
        const char* text;
    } cases[] = {
        {0, 10, "0"},          {-255, 16, "-ff"},         {255, 16, "ff"},
        {2147483647, 10, "2147483647"}, {-2147483647, 10, "-2147483647"}, {5, 2, "101"},
        {35, 36, "z"},         {-1, 10, "-1"},            {1000, 8, "1750"},
    };
    for (const Case& c : cases) {
        char buffer[40];
        EXPECT_EQ(buffer, IntToText(c.value, buffer, c.radix));
        EXPECT_STREQ(c.text, buffer) << c.value << " radix " << c.radix;
    }
}

TEST(NumberHelpers, ConversionsTruncateWhateverTheRoundingMode)
{
    unsigned saved = _MM_GET_ROUNDING_MODE();
    for (unsigned mode : {_MM_ROUND_NEAREST, _MM_ROUND_UP, _MM_ROUND_DOWN}) {
        _MM_SET_ROUNDING_MODE(mode);
        EXPECT_EQ(1, FloatToInt(1.9f));
        EXPECT_EQ(-1, FloatToInt(-1.9f));
        EXPECT_EQ(2, DoubleToInt(2.5));
        EXPECT_EQ(-2, DoubleToInt(-2.5));
    }
    _MM_SET_ROUNDING_MODE(saved);
    // The x87 control word does not matter either.
    unsigned short control, upward;
    __asm__ volatile("fnstcw %0" : "=m"(control));
    upward = (unsigned short)((control & ~0x0C00) | 0x0800);
    __asm__ volatile("fldcw %0" : : "m"(upward));
    EXPECT_EQ(-1, FloatToInt(-1.5f));
    __asm__ volatile("fldcw %0" : : "m"(control));

    EXPECT_EQ(5, AbsInt(-5));
    EXPECT_FLOAT_EQ(2.5f, AbsFloat(-2.5f));
    EXPECT_FLOAT_EQ(3.0f, SqrtFloat(9.0f));
    EXPECT_FLOAT_EQ(8.0f, PowFloat(2.0f, 3.0f));
    float s, c;
    SinCosF(0.0f, &s, &c);
    EXPECT_FLOAT_EQ(0.0f, s);
    EXPECT_FLOAT_EQ(1.0f, c);

    char text[32];
    EXPECT_EQ(0, FormatText(text, "%d-%s", 7, "x"));
    EXPECT_STREQ("7-x", text);
}

TEST(WideArithmetic, ProductsAndQuotients)
{
    // Reference values computed independently with arbitrary-precision integers.
    struct Product {
        uint64_t a, b, low, high;
    } products[] = {
        {0, 0xFFFFFFFFFFFFFFFFull, 0, 0},
        {0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull, 1, 0xFFFFFFFFFFFFFFFEull},
        {0x123456789ABCDEFull, 1000000, 0x71C71C71C70C19C0ull, 0x115Cull},
        {0x100000000ull, 0x100000000ull, 0, 1},
        {0xFFFFFFFFull, 0xFFFFFFFFull, 0xFFFFFFFE00000001ull, 0},
    };
    for (const Product& p : products) {
        UInt128 r;
        Mul64To128(p.a, p.b, &r);
        EXPECT_EQ(p.low, r.low) << std::hex << p.a << " * " << p.b;
        EXPECT_EQ(p.high, r.high) << std::hex << p.a << " * " << p.b;
    }

    struct Quotient {
        uint64_t low, high, divisor, qLow, qHigh;
    } quotients[] = {
        {1, 0xFFFFFFFFFFFFFFFEull, 0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull, 0},
        {0, 1, 2, 0x8000000000000000ull, 0},
        {0x71C71C71C70C19C0ull, 0x115C, 1000000, 0x123456789ABCDEFull, 0},
        {12345, 0, 1, 12345, 0},
        {0, 0xFFFFFFFFFFFFFFFFull, 3, 0, 0x5555555555555555ull},
        {7, 0, 0x8000000000000001ull, 0, 0},
    };
    for (const Quotient& q : quotients) {
        UInt128 dividend = {q.low, q.high}, r;
        Div128By64(&dividend, q.divisor, &r);
        EXPECT_EQ(q.qLow, r.low) << std::hex << q.high << ":" << q.low << " / " << q.divisor;
        EXPECT_EQ(q.qHigh, r.high) << std::hex << q.high << ":" << q.low << " / " << q.divisor;
    }
}

TEST(LinkedList, InsertAndRemoveKeepTheLinks)
{
    ListNode head, tail, a, b, c;
    InitLinkedList(&head, &tail);
    EXPECT_EQ(-1, head.value);
    EXPECT_EQ(-1, tail.value);
    EXPECT_EQ(&tail, head.next);
    EXPECT_EQ(&head, tail.previous);

    int data = 0;
    InsertListNode(&head, &a, 1, &data);
    InsertListNode(&a, &c, 3, nullptr);
    InsertListNode(&a, &b, 2, nullptr);
    int values[3], n = 0;
    for (ListNode* node = head.next; node != &tail; node = node->next)
        values[n++] = node->value;
    ASSERT_EQ(3, n);
    EXPECT_EQ(1, values[0]);
    EXPECT_EQ(2, values[1]);
    EXPECT_EQ(3, values[2]);
    EXPECT_EQ(&data, a.data);
    EXPECT_EQ(&c, tail.previous);

    RemoveListNode(&b);
    EXPECT_EQ(&c, a.next);
    EXPECT_EQ(&a, c.previous);
    RemoveListNode(&a);
    RemoveListNode(&c);
    EXPECT_EQ(&tail, head.next);
    EXPECT_EQ(&head, tail.previous);
}

TEST(FullPath, BuildsFromTheBaseOrThePathsOwnRoot)
{
    CharSetScope scope(1);
    struct Case {
        const char* path;
        const char* base;
        const char* expected;
    } cases[] = {
        {"img/title/a.bmp", "C:\\game\\", "C:\\game\\img\\title\\a.bmp"},
        {"img/title/a.bmp", "C:\\game", "C:\\game\\img\\title\\a.bmp"},
        {"..\\b.txt", "C:\\game", "C:\\b.txt"},
        {"\\x.txt", "D:\\y", "D:\\x.txt"},
        {"/x.txt", "D:\\y", "D:\\x.txt"},
        {"E:z.txt", "C:\\any", "E:\\z.txt"},
        {"E:\\z.txt", "C:\\any", "E:\\z.txt"},
        {"a/./b//c", "C:\\d", "C:\\d\\a\\b\\c"},
        {"\\\\server\\share\\f", "C:\\d", "\\\\server\\share\\f"},
        {"a\\b\\", "C:\\d", "C:\\d\\a\\b"},
        {"a\\..\\..\\..\\x", "C:\\d", "C:\\x"},
        {"C:\\..\\..\\x", "D:\\", "C:\\x"},
        {"\\\\..\\x", "C:\\", "\\x"},
        {"a/..", "C:\\d", "C:\\d\\a\\.."},
        {"a/.", "C:\\d", "C:\\d\\a\\."},
        {"", "C:\\d", "C:\\d"},
        {"C:", "D:\\d", "C:"},
        // Trail bytes equal to a backslash: 0x83 0x5C is one character.
        {"\x83\x5C\\x", "C:\\d", "C:\\d\\\x83\x5C\\x"},
        {"..\\y", "C:\\\x83\x5C", "C:\\y"},
        {"y", "C:\\d\\\x83\x5C", "C:\\d\\\x83\x5C\\y"},
        {"..\\y", "C:\\d\\\x83\x5C", "C:\\d\\y"},
        // A lead byte just before the end stands alone.
        {"a\\\x83", "C:\\d", "C:\\d\\a\\\x83"},
        {"..\\y", "C:\\d\x83", "C:\\y"},
    };
    for (const Case& c : cases) {
        char out[FULL_PATH_SIZE];
        EXPECT_EQ(0, MakeFullPath(c.path, out, c.base)) << c.path;
        EXPECT_STREQ(c.expected, out) << c.path << " on " << c.base;
    }
    char out[FULL_PATH_SIZE];
    EXPECT_EQ(0, MakeFullPath(nullptr, out, "C:\\base"));
    EXPECT_STREQ("C:\\base", out);
}

TEST(FullPath, RefusesWhatDoesNotFitAndUsesTheCurrentDirectory)
{
    char out[FULL_PATH_SIZE];
    std::string longComponent(240, 'a');
    EXPECT_EQ(-1, MakeFullPath(longComponent.c_str(), out, "C:\\d"));
    EXPECT_STREQ("", out);
    std::string manyComponents;
    for (int i = 0; i < 40; i++)
        manyComponents += "abcdefgh\\";
    EXPECT_EQ(-1, MakeFullPath(manyComponents.c_str(), out, "C:\\d"));
    EXPECT_STREQ("", out);
    std::string longBase = "C:\\" + std::string(300, 'b');
    EXPECT_EQ(-1, MakeFullPath("x", out, longBase.c_str()));
    EXPECT_EQ(0, MakeFullPath(std::string(238, 'c').c_str(), out, "C:\\d"));

    // Without a base, the file layer's current directory.
    SetStreamFunctions(nullptr);
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    ASSERT_EQ(0, MakeFullPath("sub/f.txt", out, nullptr));
    std::string expected = std::string(current);
    if (expected.back() == '\\')
        expected.pop_back();
    EXPECT_EQ(expected + "\\sub\\f.txt", out);
}

TEST(TempFile, CreatesAnEmptyWritableFile)
{
    char path[FULL_PATH_SIZE];
    HANDLE file = CreateTempFile(path);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "abc", 3, &written, nullptr));
    CloseHandle(file);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));
    EXPECT_TRUE(DeleteFileA(path));

    HANDLE unnamed = CreateTempFile(nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, unnamed);
    CloseHandle(unnamed);
}
