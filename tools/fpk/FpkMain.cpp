// fpk: writes and inspects the game's pack archives.
//
//   fpk create OUT.fpk DIR   pack every file below DIR
//   fpk list PACK            stored size and name of every file
//   fpk extract PACK DIR     unpack every file below DIR
//   fpk verify PACK          check every block's CRC and size
//
// Packs are read through the engine's own reader (CHarvester), so the tool
// and the game can never disagree about what a pack holds. Every fault gives
// a non-zero exit and one line on stderr per cause: a file table that does not
// fit its pack is one line, not one per file. A failed create leaves whatever
// was at OUT untouched.
#include "Engine/Core/Common/GeError.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Pack/Harvester.h"
#include "Platform/System/PosixFiles.h"
#include "tools/fpk/FpkWriter.h"

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

static std::string s_engineError; // the last message of the engine's error box

// The engine reports bad data through its error box; the tool keeps the
// message for its own one-line report and lets the reader carry on with its
// fallback.
static int KeepErrorBoxMessage(const char* text, const char* /*caption*/)
{
    const char* message = strstr(text, "Error: ");
    message = message ? message + 7 : text;
    size_t length = strcspn(message, "\r\n");
    while (length > 0 && message[length - 1] == ' ')
        --length;
    s_engineError.assign(message, length);
    return 0;
}

// What the engine said about the last fault: its error box, else its log.
static std::string TakeEngineError(const char* fallback)
{
    std::string text = s_engineError.empty() ? GeLogLastMessage().c_str() : s_engineError;
    s_engineError.clear();
    return text.empty() ? fallback : text;
}

static bool Mount(const char* pack)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(pack, error)) {
        const bool exists = std::filesystem::exists(pack, error);
        fprintf(stderr, "fpk: %s: %s\n", pack, exists ? "not a pack file" : "no such pack");
        return false;
    }
    GeLogClearLast();
    if (!CHarvester::MountSinglePack(pack)) {
        fprintf(stderr, "fpk: %s: %s\n", pack, TakeEngineError("not a readable pack").c_str());
        return false;
    }
    return true;
}

static int List(const char* pack)
{
    if (!Mount(pack))
        return 1;
    const CHarvester::Index& index = CHarvester::GetIndex();
    for (auto* node = index.first; node; node = index.Next(node))
        printf("%10u  %s\n", node->value.size, node->key.c_str());
    return 0;
}

// A stored name may only name a place below the output directory.
static bool IsSafeName(const std::string& name)
{
    if (name.empty() || name[0] == '/')
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// Where the blocks that the file table names end, against where the table
// itself begins. The writer puts the table right behind the last block, so a
// gap or an overlap means the offsets were shifted, most often by bytes put in
// front of the pack; every block then fails for that one cause.
static std::string TableMisfit(const char* pack)
{
    FILE* file = fopen(pack, "rb");
    uint8_t trailer[4] = {};
    long long size = -1;
    if (file && fseeko(file, -4, SEEK_END) == 0 && fread(trailer, 1, 4, file) == 4)
        size = ftello(file);
    if (file)
        fclose(file);
    if (size < 0)
        return "";
    const uint32_t fatLength = ReadLe32(trailer);
    const long long tableStart = size - 4 - fatLength;
    long long blocksEnd = 0;
    const CHarvester::Index& index = CHarvester::GetIndex();
    for (auto* node = index.first; node; node = index.Next(node))
        blocksEnd = std::max<long long>(blocksEnd, static_cast<long long>(node->value.offset) + node->value.size);
    if (blocksEnd == tableStart)
        return "";
    return "the offsets of its file table do not fit the file: the blocks end at byte " + std::to_string(blocksEnd) +
           ", the table starts at byte " + std::to_string(tableStart) +
           (blocksEnd < tableStart ? " (bytes put in front of the pack?)" : "");
}

// Whether target, with every link on its way that exists followed, still lies
// in the output directory: a link left there must not carry a file elsewhere.
static bool StaysInside(const std::filesystem::path& root, const std::filesystem::path& target)
{
    std::error_code error;
    const std::filesystem::path base = std::filesystem::canonical(root, error);
    const std::filesystem::path resolved = error ? base : std::filesystem::weakly_canonical(target, error);
    if (error)
        return false;
    auto at = resolved.begin();
    for (const std::filesystem::path& part : base) {
        if (at == resolved.end() || *at != part)
            return false;
        ++at;
    }
    return true;
}

// Writes an unpacked file under its host path as it stands (the engine's
// writer reads a '\' as a separator, which a host path may hold in a name).
static bool WriteOutFile(const std::string& path, const uint8_t* data, size_t size, std::string* why)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *why = strerror(errno);
        return false;
    }
    bool ok = SysWriteFully(fd, data, size);
    int error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok)
        *why = strerror(error);
    return ok;
}

// The output directory, made when missing; one line when it cannot be.
static bool MakeOutputDirectory(const char* outDir)
{
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (std::filesystem::is_directory(outDir))
        return true;
    const std::string reason = error ? error.message() : "something else of that name is in the way";
    fprintf(stderr, "fpk: %s: the output folder cannot be made: %s\n", outDir, reason.c_str());
    return false;
}

// Unpacks every file; with an output directory also writes it there.
static int ForEachFile(const char* pack, const char* outDir)
{
    if (!Mount(pack) || (outDir && !MakeOutputDirectory(outDir)))
        return 1;
    std::vector<std::string> problems; // one line per file that fails
    bool anyUnpacked = false;
    const CHarvester::Index& index = CHarvester::GetIndex();
    for (auto* node = index.first; node; node = index.Next(node)) {
        const char* name = node->key.c_str();
        CGeFileData file;
        CHarvester::GetFile(file, name, true);
        bool ok = file.data != nullptr;
        anyUnpacked = anyUnpacked || ok;
        if (!ok)
            problems.push_back(std::string(pack) + ": '" + name + "': " + TakeEngineError("does not unpack"));
        if (ok && outDir) {
            std::error_code error;
            std::filesystem::path target = std::filesystem::path(outDir) / name;
            ok = IsSafeName(name) && StaysInside(outDir, target);
            if (!ok)
                problems.push_back(std::string(pack) + ": refusing to write '" + name + "' outside the output directory");
            if (ok)
                std::filesystem::create_directories(target.parent_path(), error);
            std::string why;
            if (ok && !WriteOutFile(target.string(), file.data, file.size, &why)) {
                problems.push_back("cannot write " + target.string() + ": " + why);
                ok = false;
            }
        }
        FreeFileData(file);
    }
    // When nothing unpacks and the table does not fit the file, that is the
    // one cause worth a line.
    const std::string misfit = anyUnpacked || problems.empty() ? "" : TableMisfit(pack);
    if (!misfit.empty())
        problems.assign(1, std::string(pack) + ": " + misfit);
    for (const std::string& problem : problems)
        fprintf(stderr, "fpk: %s\n", problem.c_str());
    if (problems.empty() && !outDir)
        printf("%s: %u files OK\n", pack, index.count);
    return problems.empty() ? 0 : 1;
}

// A failed create leaves whatever was at the pack path as it was.
static int Create(const char* pack, const char* directory)
{
    std::string error;
    if (!WritePackFromDirectory(pack, directory, &error)) {
        fprintf(stderr, "fpk: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

static int Usage()
{
    fprintf(stderr,
            "usage: fpk create OUT.fpk DIR\n"
            "       fpk list PACK\n"
            "       fpk extract PACK DIR\n"
            "       fpk verify PACK\n");
    return 2;
}

int main(int argc, char** argv)
{
    GeSetErrorBoxFunction(KeepErrorBoxMessage);
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "create" && argc == 4)
        return Create(argv[2], argv[3]);
    if (command == "list" && argc == 3)
        return List(argv[2]);
    if (command == "extract" && argc == 4)
        return ForEachFile(argv[2], argv[3]);
    if (command == "verify" && argc == 3)
        return ForEachFile(argv[2], nullptr);
    return Usage();
}
