#include "tools/packer/archive_writer.h"

#include <algorithm>
#include <memory>
#include <stdio.h>
#include <string.h>

#include "runtime/file/archive_format.h"
#include "tools/packer/lz_encoder.h"

namespace {

struct Node {
    std::string name;
    bool directory = false;
    const PackFile* file = nullptr;   // the file or directory's own record, if any
    std::vector<std::unique_ptr<Node>> children;
    uint32_t entryOffset = 0;         // in the file table
    uint32_t dirOffset = 0;           // in the directory table (directories)
    uint32_t nameOffset = 0;
};

bool Fail(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return false;
}

bool IsLead(uint8_t c, int charSet)
{
    if (charSet >= 2 && charSet <= 4)
        return c >= 0x80;
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Components of a relative path; the double-byte rule keeps a trail byte
// equal to "\" inside its character.
std::vector<std::string> SplitPath(const std::string& path, int charSet)
{
    std::vector<std::string> parts;
    std::string current;
    for (size_t i = 0; i < path.size();) {
        uint8_t c = (uint8_t)path[i];
        if (IsLead(c, charSet) && i + 1 < path.size()) {
            current += path.substr(i, 2);
            i += 2;
            continue;
        }
        if (c == '\\' || c == '/') {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += (char)c;
        }
        i++;
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

std::string SearchForm(const std::string& name, int charSet)
{
    std::string form;
    for (size_t i = 0; i < name.size(); i++) {
        uint8_t c = (uint8_t)name[i];
        if (IsLead(c, charSet) && i + 1 < name.size()) {
            form += name.substr(i, 2);
            i++;
        } else {
            form += (char)(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
    }
    return form;
}

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    out[at] = (uint8_t)v;
    out[at + 1] = (uint8_t)(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        out[at + i] = (uint8_t)(v >> (8 * i));
}

void PutTime(std::vector<uint8_t>& out, size_t at, const FILETIME& t)
{
    Put32(out, at, t.dwLowDateTime);
    Put32(out, at + 4, t.dwHighDateTime);
}

Node* Child(Node* parent, const std::string& name, int charSet)
{
    std::string form = SearchForm(name, charSet);
    for (auto& c : parent->children)
        if (SearchForm(c->name, charSet) == form)
            return c.get();
    return nullptr;
}

} // namespace

void MakePackKey(const PackOptions& options, uint8_t key[12])
{
    if (options.secondKey) {
        memset(key, ARCHIVE_SECOND_KEY, ARCHIVE_KEY_SIZE);
        return;
    }
    const char* text = options.keyString;
    size_t length = text ? strlen(text) : 0;
    for (size_t i = 0; i < ARCHIVE_KEY_SIZE; i++)
        key[i] = length ? (uint8_t)text[length >= ARCHIVE_KEY_SIZE ? i : (i % length)] : (uint8_t)ARCHIVE_KEY_PATTERN;
    for (int i = 0; i < (int)ARCHIVE_KEY_SIZE; i++)
        key[i] = ApplyArchiveKeyOperation(i, key[i]);
}

bool BuildArchive(const std::vector<PackFile>& files, const PackOptions& options, std::vector<uint8_t>& out,
                  std::string* error)
{
    if (options.version < 0 || options.version > (int)ARCHIVE_MAX_VERSION)
        return Fail(error, "version must be 0 to 4");
    int charSet = options.version >= 4 ? ArchiveCharSetOfCodePage(options.codePage) : 0;

    // The tree of names.
    Node root;
    root.directory = true;
    for (const PackFile& f : files) {
        std::vector<std::string> parts = SplitPath(f.path, charSet);
        if (parts.empty())
            return Fail(error, "empty path");
        Node* at = &root;
        for (size_t i = 0; i < parts.size(); i++) {
            bool last = i + 1 == parts.size();
            if (parts[i] == "." || parts[i] == "..")
                return Fail(error, "relative component in " + f.path);
            if (SearchForm(parts[i], charSet).size() > ARCHIVE_NAME_FORM_SIZE - 1)
                return Fail(error, "name too long: " + f.path);
            Node* child = Child(at, parts[i], charSet);
            bool wantDirectory = !last || f.directory;
            if (child && child->directory != wantDirectory)
                return Fail(error, "both a file and a directory: " + f.path);
            if (child && last && !f.directory)
                return Fail(error, "duplicate file: " + f.path);
            if (!child) {
                at->children.push_back(std::make_unique<Node>());
                child = at->children.back().get();
                child->name = parts[i];
                child->directory = wantDirectory;
            }
            if (last)
                child->file = &f;
            at = child;
        }
    }

    // Directories in breadth-first order; each one's entries are consecutive.
    const uint32_t entrySize = options.version >= (int)ARCHIVE_FIRST_LZ_VERSION ? ARCHIVE_FILE_ENTRY_SIZE
                                                                                : ARCHIVE_FILE_ENTRY_SIZE_V0;
    std::vector<Node*> directories = {&root};
    for (size_t d = 0; d < directories.size(); d++) {
        Node* dir = directories[d];
        std::stable_sort(dir->children.begin(), dir->children.end(),
                         [&](const std::unique_ptr<Node>& a, const std::unique_ptr<Node>& b) {
                             return SearchForm(a->name, charSet) < SearchForm(b->name, charSet);
                         });
        for (auto& c : dir->children)
            if (c->directory)
                directories.push_back(c.get());
    }
    for (size_t d = 0; d < directories.size(); d++)
        directories[d]->dirOffset = (uint32_t)(d * ARCHIVE_DIR_ENTRY_SIZE);

    // Name table.
    std::vector<uint8_t> names;
    uint32_t fileCount = 0;
    for (Node* dir : directories) {
        for (auto& c : dir->children) {
            std::string form = SearchForm(c->name, charSet);
            uint32_t units = (uint32_t)(form.size() + 4) / 4;
            uint32_t sum = 0;
            for (unsigned char b : form)
                sum += b;
            size_t at = names.size();
            c->nameOffset = (uint32_t)at;
            size_t bytes = 4 + units * 4 + c->name.size() + 1;
            names.resize(at + ((bytes + 3) & ~(size_t)3), 0);
            Put16(names, at, units);
            Put16(names, at + 2, sum & 0xFFFF);
            memcpy(&names[at + 4], form.data(), form.size());
            memcpy(&names[at + 4 + units * 4], c->name.data(), c->name.size());
            fileCount++;
        }
    }

    // Data area, file table and directory table.
    std::vector<uint8_t> fileTable((size_t)fileCount * entrySize, 0);
    std::vector<uint8_t> dirTable(directories.size() * ARCHIVE_DIR_ENTRY_SIZE, 0);
    std::vector<uint8_t> dataArea;
    uint32_t next = 0;
    for (Node* dir : directories) {
        uint32_t first = next * entrySize;
        size_t d = dir->dirOffset;
        Put32(dirTable, d + ARCHIVE_DIR_SELF, dir == &root ? ARCHIVE_NO_PARENT : dir->entryOffset);
        Put32(dirTable, d + ARCHIVE_DIR_COUNT, (uint32_t)dir->children.size());
        Put32(dirTable, d + ARCHIVE_DIR_FIRST, first);
        if (dir == &root)
            Put32(dirTable, d + ARCHIVE_DIR_PARENT, ARCHIVE_NO_PARENT);
        for (auto& c : dir->children) {
            c->entryOffset = next * entrySize;
            next++;
        }
    }
    // Parents, now that every directory's entry offset is known.
    for (Node* dir : directories)
        for (auto& c : dir->children)
            if (c->directory) {
                Put32(dirTable, c->dirOffset + ARCHIVE_DIR_SELF, c->entryOffset);
                Put32(dirTable, c->dirOffset + ARCHIVE_DIR_PARENT, dir->dirOffset);
            }

    for (Node* dir : directories) {
        for (auto& c : dir->children) {
            size_t e = c->entryOffset;
            const PackFile* f = c->file;
            uint32_t attributes = f ? f->attributes : FILE_ATTRIBUTE_DIRECTORY;
            if (c->directory)
                attributes |= FILE_ATTRIBUTE_DIRECTORY;
            else
                attributes &= ~(uint32_t)FILE_ATTRIBUTE_DIRECTORY;
            Put32(fileTable, e + ARCHIVE_ENTRY_NAME, c->nameOffset);
            Put32(fileTable, e + ARCHIVE_ENTRY_ATTRIBUTES, attributes);
            if (f) {
                PutTime(fileTable, e + ARCHIVE_ENTRY_CREATION, f->creation);
                PutTime(fileTable, e + ARCHIVE_ENTRY_ACCESS, f->lastAccess);
                PutTime(fileTable, e + ARCHIVE_ENTRY_LAST_WRITE, f->lastWrite);
            }
            uint32_t packed = ARCHIVE_STORED;
            if (c->directory) {
                Put32(fileTable, e + ARCHIVE_ENTRY_DATA, c->dirOffset);
                Put32(fileTable, e + ARCHIVE_ENTRY_SIZE, 0);
            } else {
                const std::vector<uint8_t>& data = f->data;
                if ((uint64_t)dataArea.size() + data.size() > 0x7FFFFFFF)
                    return Fail(error, "archive too large");
                Put32(fileTable, e + ARCHIVE_ENTRY_DATA, (uint32_t)dataArea.size());
                Put32(fileTable, e + ARCHIVE_ENTRY_SIZE, (uint32_t)data.size());
                bool lz = options.version >= (int)ARCHIVE_FIRST_LZ_VERSION && !data.empty() &&
                          options.compression != PACK_STORED;
                std::vector<uint8_t> block;
                if (lz) {
                    block = EncodeArchiveLz(data.data(), (uint32_t)data.size());
                    if (options.compression == PACK_AUTO && block.size() >= data.size())
                        lz = false;
                }
                if (lz) {
                    packed = (uint32_t)block.size();
                    dataArea.insert(dataArea.end(), block.begin(), block.end());
                } else {
                    dataArea.insert(dataArea.end(), data.begin(), data.end());
                }
            }
            if (entrySize >= ARCHIVE_FILE_ENTRY_SIZE)
                Put32(fileTable, e + ARCHIVE_ENTRY_PACKED, packed);
        }
    }

    // Header, header block (names, files, directories), data area.
    uint32_t headerSize = options.version >= 4 ? ARCHIVE_HEADER_SIZE_V4 : ARCHIVE_HEADER_SIZE;
    uint32_t fileTableOffset = (uint32_t)names.size();
    uint32_t dirTableOffset = fileTableOffset + (uint32_t)fileTable.size();
    uint32_t blockSize = dirTableOffset + (uint32_t)dirTable.size();
    uint32_t dataOffset = headerSize + blockSize;
    out.assign(headerSize, 0);
    Put16(out, ARCHIVE_HEADER_MAGIC, ARCHIVE_MAGIC);
    Put16(out, ARCHIVE_HEADER_VERSION, (uint32_t)options.version);
    Put32(out, ARCHIVE_HEADER_BLOCK_SIZE, blockSize);
    Put32(out, ARCHIVE_HEADER_DATA_OFFSET, dataOffset);
    Put32(out, ARCHIVE_HEADER_BLOCK_OFFSET, headerSize);
    Put32(out, ARCHIVE_HEADER_FILE_TABLE, fileTableOffset);
    Put32(out, ARCHIVE_HEADER_DIR_TABLE, dirTableOffset);
    if (options.version >= 4)
        Put32(out, ARCHIVE_HEADER_CODE_PAGE, options.codePage);
    out.insert(out.end(), names.begin(), names.end());
    out.insert(out.end(), fileTable.begin(), fileTable.end());
    out.insert(out.end(), dirTable.begin(), dirTable.end());
    out.insert(out.end(), dataArea.begin(), dataArea.end());

    uint8_t key[ARCHIVE_KEY_SIZE];
    MakePackKey(options, key);
    for (size_t i = 0; i < out.size(); i++)
        out[i] ^= key[i % ARCHIVE_KEY_SIZE];
    return true;
}

#ifdef _WIN32
static bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& data)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    data.clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        data.insert(data.end(), buffer, buffer + n);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

static bool CollectInto(const std::string& base, const std::string& relative, std::vector<PackFile>& files,
                        std::string* error)
{
    std::string directory = relative.empty() ? base : base + "\\" + relative;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return Fail(error, "cannot list " + directory);
    bool ok = true;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        PackFile f;
        f.path = relative.empty() ? name : relative + "\\" + name;
        f.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        f.attributes = found.dwFileAttributes;
        f.creation = found.ftCreationTime;
        f.lastAccess = found.ftLastAccessTime;
        f.lastWrite = found.ftLastWriteTime;
        if (!f.directory && !ReadFileBytes(base + "\\" + f.path, f.data)) {
            ok = Fail(error, "cannot read " + f.path);
            break;
        }
        std::string sub = f.path;
        bool isDirectory = f.directory;
        files.push_back(std::move(f));
        if (isDirectory && !CollectInto(base, sub, files, error)) {
            ok = false;
            break;
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return ok;
}

bool CollectDirectory(const std::string& directory, std::vector<PackFile>& files, std::string* error)
{
    files.clear();
    return CollectInto(directory, "", files, error);
}

bool PackDirectory(const std::string& directory, const std::string& archivePath, const PackOptions& options,
                   std::string* error)
{
    std::vector<PackFile> files;
    if (!CollectDirectory(directory, files, error))
        return false;
    std::vector<uint8_t> bytes;
    if (!BuildArchive(files, options, bytes, error))
        return false;
    FILE* f = fopen(archivePath.c_str(), "wb");
    if (!f)
        return Fail(error, "cannot create " + archivePath);
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    return ok ? true : Fail(error, "cannot write " + archivePath);
}

static const char Usage[] =
    "usage: packer [-v VERSION] [-n] [-k KEY | -2] [-p CODEPAGE] SOURCE-DIR ARCHIVE\n"
    "  -v  archive version 0 to 4 (default 4)\n"
    "  -n  store files uncompressed (default: compress where smaller)\n"
    "  -k  key string (at most 12 characters are used)\n"
    "  -2  scramble with the fallback key\n"
    "  -p  code page of the names, written by version 4 (default 932)\n";

int RunPacker(int argc, char** argv)
{
    PackOptions options;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "-v" && hasValue) {
            char* end;
            long v = strtol(argv[++i], &end, 10);
            if (*end || v < 0 || v > (long)ARCHIVE_MAX_VERSION) {
                fprintf(stderr, "packer: bad version %s\n", argv[i]);
                return 2;
            }
            options.version = (int)v;
        } else if (a == "-n") {
            options.compression = PACK_STORED;
        } else if (a == "-k" && hasValue) {
            options.keyString = argv[++i];
        } else if (a == "-2") {
            options.secondKey = true;
        } else if (a == "-p" && hasValue) {
            char* end;
            unsigned long cp = strtoul(argv[++i], &end, 10);
            if (*end) {
                fprintf(stderr, "packer: bad code page %s\n", argv[i]);
                return 2;
            }
            options.codePage = (uint32_t)cp;
        } else if (!a.empty() && a[0] == '-') {
            fputs(Usage, stderr);
            return 2;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) {
        fputs(Usage, stderr);
        return 2;
    }
    std::string error;
    if (!PackDirectory(positional[0], positional[1], options, &error)) {
        fprintf(stderr, "packer: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
#endif
