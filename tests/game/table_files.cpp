#include "tests/game/table_files.h"

#include <windows.h>
#include <stdio.h>

#include "game/data_tables.h"
#include "runtime/file/archive_files.h"
#include "runtime/file/stream.h"
#include "tests/support/test_support.h"

static char previousDirectory[MAX_PATH];

bool WriteTableFile(const std::string& root, const std::string& relative, const std::string& text)
{
    size_t start = 0;
    for (;;) {
        size_t slash = relative.find('/', start);
        if (slash == std::string::npos)
            break;
        CreateDirectoryA((root + "/" + relative.substr(0, slash)).c_str(), nullptr);
        start = slash + 1;
    }
    return WriteWholeFile(root + "/" + relative, text.data(), text.size());
}

void EnterDataDirectory(const std::string& dir)
{
    GetCurrentDirectoryA(sizeof previousDirectory, previousDirectory);
    SetCurrentDirectoryA(dir.c_str());
    SetArchiveExtension("ukx");
    SetArchiveKeyString("KOWR");
    SetStreamFunctions(nullptr);
}

void LeaveDataDirectory()
{
    TerminateArchives();
    SetCurrentDirectoryA(previousDirectory);
}

void ReadAllTables()
{
    ReadBlockAnimeCsv();
    ReadSlotCsv();
    ReadAnimationCsv("img/chara/player/Player0Anime.csv", 1, 0);
    ReadAnimationCsv("img/chara/player/Player1Anime.csv", 1, 1);
    static const struct {
        const char* pattern;
        int kind;
    } sets[] = {
        {"img/chara/enemy/Enemy%02dAnime.csv", 2},
        {"img/chara/Boss/Boss%02dAnime.csv", 3},
        {"img/effect/Effect%02dAnime.csv", 4},
        {"img/item/Item%02dAnime.csv", 5},
        {"img/systemeffect/systemeffect%02dAnime.csv", 6},
    };
    char path[64];
    for (int id = 0; id < ANIM_IDS; id++) {
        for (const auto& set : sets) {
            snprintf(path, sizeof path, set.pattern, id);
            ReadAnimationCsv(path, set.kind, id);
        }
    }
}
