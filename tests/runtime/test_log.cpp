// The log file: line feeds, stamps, indentation, the log-off switch, the
// debugger copy and the system-information block.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/log.h"
#include "runtime/log_start.h"
#include "runtime/memory.h"
#include "runtime/system_state.h"
#include "tests/runtime/log_capture.h"

namespace {

// The raw text with every "<digits>:" stamp replaced by "#:".
std::string Unstamped(const std::string& raw)
{
    std::string out;
    for (size_t i = 0; i < raw.size();) {
        bool lineStart = i == 0 || (raw[i - 1] == '\n');
        size_t j = i;
        while (lineStart && j < raw.size() && raw[j] >= '0' && raw[j] <= '9')
            j++;
        if (j > i && j < raw.size() && raw[j] == ':') {
            out += "#:";
            i = j + 1;
        } else {
            out += raw[i++];
        }
    }
    return out;
}

} // namespace

TEST(LogFile, LineFeedsStampsAndOpenLines)
{
    LogCapture log;
    log.Start();
    ASSERT_TRUE(log.Exists());
    EXPECT_EQ("", log.Raw());

    EXPECT_EQ(-1, WriteLog("a\nb"));
    // The line stays open: the next text continues it without a stamp.
    WriteLog("c\n");
    // A text whose first LF follows a CR is written as it stands.
    WriteLog("x\r\ny\nz\n");
    // Shift-JIS character 0x81 0x0A: its trail byte is no line feed.
    WriteLog("\x81\x0A" "d\n");
    EXPECT_EQ(-1, WriteLogFormat("%d-%s", 42, "e"));
    // A lead byte just before the end is one byte; nothing behind it is read.
    char trailing[8] = {'f', '\x81', 0, '\n', '\n', 0};
    WriteLog(trailing);
    WriteLog("\n");
    EXPECT_EQ("#:a\r\nbc\r\n#:x\r\ny\nz\n#:\x81\x0A" "d\r\n#:42-e\r\n#:f\x81\r\n", Unstamped(log.Raw()));

    // The stamp is the milliseconds since the log started.
    std::string raw = log.Raw();
    int stamp = atoi(raw.c_str());
    EXPECT_GE(stamp, 0);
    EXPECT_LT(stamp, 60000);

    // Starting the log again recreates the file empty.
    StartLogFile();
    EXPECT_EQ("", log.Raw());
}

TEST(LogFile, IndentationAndEmptyTexts)
{
    LogCapture log;
    log.Start();
    IncreaseLogIndent();
    IncreaseLogIndent();
    IncreaseLogIndent();
    WriteLog("three\n");
    WriteLog("open ");
    WriteLog("continued\n");
    DecreaseLogIndent();
    DecreaseLogIndent();
    DecreaseLogIndent();
    DecreaseLogIndent();
    EXPECT_EQ(0, SystemState.live.logIndent);
    WriteLog("zero\n");
    // An empty text at the start of a line writes the stamp and leaves the
    // line open after it.
    WriteLog("");
    WriteLog("after\n");
    EXPECT_EQ("#:\t\t\tthree\r\n#:\t\t\topen continued\r\n#:zero\r\n#:after\r\n", Unstamped(log.Raw()));

    SystemState.settings.logNoStamp = 1;
    WriteLog("plain\n");
    SystemState.settings.logNoStamp = 0;
    EXPECT_EQ("plain\r\n", log.Raw().substr(log.Raw().size() - 7));
}

TEST(LogFile, LongTextsAreConvertedWhole)
{
    LogCapture log;
    log.Start();
    int blocks = GetAllocCount();
    std::string text;
    for (int i = 0; i < 100; i++)
        text += "line " + std::to_string(i) + "\n";
    ASSERT_GT(text.size(), 255u);
    WriteLog(text.c_str());
    std::string expected = "#:";
    for (int i = 0; i < 100; i++)
        expected += "line " + std::to_string(i) + "\r\n";
    EXPECT_EQ(expected, Unstamped(log.Raw()));
    EXPECT_EQ(blocks, GetAllocCount());

    // A format result longer than the 1024-byte buffer is cut, not overrun.
    std::string wide(3000, 'w');
    WriteLogFormat("%s", wide.c_str());
    std::vector<std::string> lines = log.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::string(1023, 'w'), lines.back());
}

TEST(LogFile, OffWritesNothingAnywhere)
{
    LogCapture log;
    log.Start();
    DeleteFileA(log.Path().c_str());
    SystemState.settings.logOff = 1;
    DebugOutputCapture debug;
    WriteLog("nothing\n");
    WriteLogFormat("nothing %d", 1);
    EXPECT_EQ(1, StartLogFile());
    EXPECT_FALSE(log.Exists());
    EXPECT_EQ("", debug.Text());

    // Switched on, every piece also goes to the debugger output.
    SystemState.settings.logOff = 0;
    StartLogFile();
    IncreaseLogIndent();
    WriteLog("shown\n");
    DecreaseLogIndent();
    EXPECT_EQ("#:\tshown\r\n", Unstamped(debug.Text()));
}

TEST(LogFile, StartDirectoryEndingInATrailByteLikeABackslash)
{
    // "表" is 0x95 0x5C in Shift-JIS: the directory does not end with a
    // separator, so the log's path needs one.
    LogCapture log;
    log.Start();
    std::string inner = log.directory + "\\\x95\x5C";
    ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));
    SetCurrentDirectoryA(inner.c_str());
    snprintf(SystemState.kept.startDirectory, sizeof SystemState.kept.startDirectory, "%s", inner.c_str());
    StartLogFile();
    WriteLog("inner\n");
    FILE* f = fopen((inner + "\\Log.txt").c_str(), "rb");
    ASSERT_NE(nullptr, f);
    char text[64] = {};
    fread(text, 1, sizeof text - 1, f);
    fclose(f);
    EXPECT_EQ("#:inner\r\n", Unstamped(text));
    SetCurrentDirectoryA(log.directory.c_str());
}

TEST(LogFile, NothingBeforeTheStartDirectoryIsKnown)
{
    LogCapture log;
    log.Start();
    SystemState.kept.startDirectory[0] = 0;
    WriteLog("early\n");
    EXPECT_EQ("", log.Raw());
}

TEST(OperatingSystem, CodeTable)
{
    struct Case {
        DWORD platform, major, minor;
        const char* service;
        const char* name;
        int code;
    } cases[] = {
        {VER_PLATFORM_WIN32s, 3, 10, "", "3.1", 0},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, "", "95", 1},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, "C", "95OSR2", 1},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, "", "98", 2},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, "A", "98SE", 2},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, "", "Me", 3},
        {VER_PLATFORM_WIN32_NT, 3, 51, "", "NT 3.51", 0x104},
        {VER_PLATFORM_WIN32_NT, 4, 0, "Service Pack 6", "4.0", 0x105},
        {VER_PLATFORM_WIN32_NT, 5, 0, "", "2000", 0x106},
        {VER_PLATFORM_WIN32_NT, 5, 1, "", "XP", 0x107},
        {VER_PLATFORM_WIN32_NT, 6, 0, "", "Vista", 0x108},
        {VER_PLATFORM_WIN32_NT, 6, 1, "Service Pack 1", "7", 0x109},
        {VER_PLATFORM_WIN32_NT, 5, 2, "", "", -1},
        {VER_PLATFORM_WIN32_NT, 6, 2, "", "", -1},
        {VER_PLATFORM_WIN32_NT, 10, 0, "", "", -1},
        {VER_PLATFORM_WIN32_WINDOWS, 3, 95, "", "", -1},
    };
    for (const Case& c : cases) {
        OSVERSIONINFOA v = {};
        v.dwOSVersionInfoSize = sizeof v;
        v.dwPlatformId = c.platform;
        v.dwMajorVersion = c.major;
        v.dwMinorVersion = c.minor;
        strcpy(v.szCSDVersion, c.service);
        const char* name = nullptr;
        EXPECT_EQ(c.code, ClassifyOperatingSystem(v, &name)) << c.major << "." << c.minor;
        EXPECT_STREQ(c.name, name) << c.major << "." << c.minor;
    }
}

TEST(SystemInformation, LogsVersionSystemAndProcessor)
{
    LogCapture log;
    log.Start();
    SystemState.kept.osCode = 0;
    EXPECT_EQ(0, LogSystemInfo());
    std::vector<std::string> lines = log.Lines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ("システムの情報を出力します", lines[0]);
    EXPECT_EQ("Ｖｅｘｉｌライブラリ Ver3.04", lines[1]);
    // Wine reports Windows 6.1.
    EXPECT_EQ(0u, lines[2].find("ＯＳ  Windows7 ( Build ")) << lines[2];
    EXPECT_EQ(0x109, SystemState.kept.osCode);
    EXPECT_EQ(0u, std::string(SystemState.kept.osText).find("Windows7 ( Build "));

    // Indented by one level, all of it.
    std::string raw = log.Raw();
    EXPECT_NE(std::string::npos, raw.find(":\tＶｅｘｉｌ"));

    // The clock line carries a real number of gigahertz.
    ASSERT_EQ(1, SystemState.kept.tscMode);
    EXPECT_GT(SystemState.kept.cpuMHz, 100);
    EXPECT_EQ((uint64_t)SystemState.kept.cpuMHz, SystemState.kept.tscPerSecond / 1000000);
    char expected[64];
    snprintf(expected, sizeof expected, "ＣＰＵ動作速度：大体%.2fGHz", SystemState.kept.cpuMHz / 1000.0);
    EXPECT_EQ(expected, lines[3]);

    EXPECT_EQ("ＭＭＸ命令を使用します", lines[4]);
    EXPECT_EQ("ＳＳＥ命令が使用可能です", lines[5]);
    EXPECT_EQ("ＳＳＥ２命令が使用可能です", lines[6]);
    EXPECT_EQ(1, SystemState.kept.mmx);
    EXPECT_EQ(1, SystemState.kept.sse2);
    EXPECT_EQ(0x70000, SystemState.kept.directXVersion);
    EXPECT_EQ("ＣＰＵベンダ：" + std::string(SystemState.kept.cpuVendor), lines[7]);
    EXPECT_EQ(12u, strlen(SystemState.kept.cpuVendor));
    if (SystemState.kept.cpuName[0]) {
        ASSERT_GE(lines.size(), 9u);
        EXPECT_EQ("ＣＰＵ名：" + std::string(SystemState.kept.cpuName), lines[8]);
    }
    EXPECT_EQ(0, SystemState.live.logIndent);
}
