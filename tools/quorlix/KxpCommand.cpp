#include "KxpCommand.h"

#include "MemberPath.h"
#include "ProgressBar.h"
#include "quorlix/core/Obj.h"
#include "quorlix/platform/File.h"
#include "quorlix/stream/Archive.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

using namespace Quorlix;

namespace QuorlixTool {

namespace {

constexpr int k_MaxFolderDepth = 64;
constexpr int k_CopyBlock = 65536;
// Seconds from 1601 to 1970, the offset between FILETIME and Unix time.
constexpr int64_t k_UnixEpochSeconds = 11644473600;

const char* const k_SecurityNote =
    "Members are checked with unkeyed MD5 digests and may be enciphered with TEA in ECB mode "
    "under a key that travels beside the data. This guards against accidental damage and casual "
    "inspection only: it is not encryption and no protection against tampering.";

struct Options {
    std::string m_Archive;
    std::string m_Folder;
    std::string m_Member;
    std::string m_File;
    std::string m_Key;
    bool m_Compress = false;
    bool m_Recursive = false;
};

String ToString(const std::string& text) {
    return String(text.data(), static_cast<int>(text.size()));
}

std::string ToStd(const StringRef& text) {
    return std::string(text.GetCPtr(), static_cast<size_t>(text.Size()));
}

// A name from an archive or the disc in double quotes, control bytes escaped, so that a hostile
// name cannot drive the terminal.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void Report(const char* command, const std::string& text) {
    TerminalProgressBar::PrintLine(std::string("kxp ") + command + ": " + text);
}

// The time SOURCE_DATE_EPOCH fixes (a 100-ns count since 1601), 0 when it is not set, -1 when
// it is not a number of seconds.
int64_t WriteTimeFromEnvironment() {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0')
        return 0;
    int64_t seconds = -1;
    const char* end = text + std::char_traits<char>::length(text);
    const auto [stop, error] = std::from_chars(text, end, seconds);
    if (error != std::errc() || stop != end || seconds < 0 ||
        seconds > INT64_MAX / 10000000 - k_UnixEpochSeconds)
        return -1;
    return (seconds + k_UnixEpochSeconds) * 10000000;
}

bool ApplyWriteTime(Archive& archive, const char* command) {
    const int64_t time = WriteTimeFromEnvironment();
    if (time < 0) {
        Report(command, "SOURCE_DATE_EPOCH must be a number of seconds since 1970");
        return false;
    }
    archive.SetWriteTime(static_cast<uint64_t>(time));
    return true;
}

std::string FormatTime(int64_t fileTime) {
    const std::time_t seconds = static_cast<std::time_t>(fileTime / 10000000 - k_UnixEpochSeconds);
    const std::tm* utc = fileTime > 0 ? std::gmtime(&seconds) : nullptr;
    char text[32] = "-";
    if (utc != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", utc);
    return text;
}

// Opens `path` for reading, with the key applied when one is given; null after a message.
Obj<Archive> OpenForReading(const Options& options, const char* command) {
    Obj<Archive> archive = Archive::Create();
    if (Result result = archive->OpenExisting(ToString(options.m_Archive))) {
        Report(command, "cannot open " + Quoted(options.m_Archive) + ": " + result);
        return Obj<Archive>();
    }
    if (!options.m_Key.empty()) {
        if (Result result =
                archive->SetCryptMode(Archive::CryptModeTEA, 0, ToString(options.m_Key))) {
            Report(command, "cannot use the key: " + std::string(result));
            return Obj<Archive>();
        }
    }
    return archive;
}

// Copies a member's bytes to `out`; the byte count, or -1 when `out` refused them.
int64_t CopyMember(StreamPipe& pipe, std::FILE* out) {
    std::vector<char> block(k_CopyBlock);
    int64_t total = 0;
    for (int n; (n = pipe.Read(block.data(), k_CopyBlock)) > 0; total += n)
        if (out != nullptr &&
            std::fwrite(block.data(), 1, static_cast<size_t>(n), out) != static_cast<size_t>(n))
            return -1;
    return total;
}

// ---- create and add -------------------------------------------------------------------------

struct TreeEntry {
    std::string m_Relative;
    std::string m_Full;
    bool m_Folder;
    int64_t m_Size;
};

// Every folder and file below `full`, sorted by name, each folder before what it holds.
bool WalkFolder(const std::string& full, const std::string& relative, int depth,
                const std::string& archive, std::vector<TreeEntry>& out, std::string& error) {
    if (depth > k_MaxFolderDepth) {
        error = Quoted(full) + " lies more than 64 folders deep (a symbolic link loop?)";
        return false;
    }
    std::vector<std::string> names;
    if (!Platform::ListDirectory(full.c_str(), names)) {
        error = "cannot read the folder " + Quoted(full);
        return false;
    }
    for (const std::string& name : names) {
        const std::string path = full + "/" + name;
        const std::string inner = relative.empty() ? name : relative + "/" + name;
        Platform::PathInfo info;
        if (!Platform::GetPathInfo(path.c_str(), info)) {
            error = "cannot read " + Quoted(path);
            return false;
        }
        std::error_code ignored;
        if (!info.m_Directory && std::filesystem::equivalent(path, archive, ignored))
            continue; // the archive being replaced
        out.push_back({inner, path, info.m_Directory, info.m_Size});
        if (info.m_Directory && !WalkFolder(path, inner, depth + 1, archive, out, error))
            return false;
    }
    return true;
}

bool SetModes(Archive& archive, const Options& options) {
    if (archive.SetStoreMode(options.m_Compress ? Archive::StoreModeCompress
                                                : Archive::StoreModeStore,
                             0) != nullptr)
        return false;
    if (options.m_Key.empty())
        return true;
    return archive.SetCryptMode(Archive::CryptModeTEA, 0, ToString(options.m_Key)) == nullptr;
}

int RunCreate(const Options& options) {
    const char* command = "create";
    std::string folder = options.m_Folder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    Platform::PathInfo info;
    if (!Platform::GetPathInfo(folder.c_str(), info) || !info.m_Directory) {
        Report(command, Quoted(folder) + " is not a folder");
        return 1;
    }
    std::vector<TreeEntry> entries;
    std::string error;
    if (!WalkFolder(folder, "", 0, options.m_Archive, entries, error)) {
        Report(command, error);
        return 1;
    }
    // Refuse names an archive cannot hold before anything is written.
    Obj<Archive> archive = Archive::Create();
    int refused = 0;
    uint64_t total = 0;
    for (const TreeEntry& entry : entries) {
        total += static_cast<uint64_t>(entry.m_Size);
        if (Result result = archive->ValidateFileName(ToString(entry.m_Relative))) {
            Report(command, "cannot store " + Quoted(entry.m_Relative) + ": " + result);
            ++refused;
        }
    }
    if (refused > 0)
        return 1;
    if (!ApplyWriteTime(*archive, command))
        return 2;
    if (Result result = archive->OpenNew(ToString(options.m_Archive))) {
        Report(command, "cannot create " + Quoted(options.m_Archive) + ": " + result);
        return 1;
    }
    if (!SetModes(*archive, options)) { // the key was checked: this does not happen
        Report(command, "cannot use the key");
        return 1;
    }
    int failed = 0;
    uint64_t done = 0;
    {
        Obj<TerminalProgressBar> bar(TerminalProgressBar::Create("create", total));
        for (const TreeEntry& entry : entries) {
            const String inner = ToString(entry.m_Relative);
            Result result;
            if (entry.m_Folder) {
                result = archive->MakeDir(inner);
            } else {
                bar->Update(done, entry.m_Relative);
                result = archive->AddFile(inner, ToString(entry.m_Full), String(), nullptr);
                done += static_cast<uint64_t>(entry.m_Size);
            }
            if (result != nullptr) {
                Report(command, "cannot add " + Quoted(entry.m_Relative) + ": " + result);
                ++failed;
            }
        }
        bar->Update(total, "writing " + options.m_Archive);
        if (Result result = archive->Close()) {
            Report(command, "cannot write " + Quoted(options.m_Archive) + ": " + result);
            return 1;
        }
    }
    if (!Platform::GetPathInfo(options.m_Archive.c_str(), info)) {
        Report(command, Quoted(options.m_Archive) + " was not written");
        return 1;
    }
    if (failed > 0) {
        Report(command, std::to_string(failed) + " entries are missing from the archive");
        return 1;
    }
    return 0;
}

int RunAdd(const Options& options) {
    const char* command = "add";
    Platform::PathInfo info;
    if (!Platform::GetPathInfo(options.m_File.c_str(), info) || info.m_Directory) {
        Report(command, "cannot read the file " + Quoted(options.m_File));
        return 1;
    }
    Obj<Archive> archive = Archive::Create();
    const String member = ToString(options.m_Member);
    if (Result result = archive->ValidateFileName(member)) {
        Report(command, "cannot store " + Quoted(options.m_Member) + ": " + result);
        return 1;
    }
    if (!ApplyWriteTime(*archive, command))
        return 2;
    if (Result result = archive->OpenUpdate(ToString(options.m_Archive))) {
        Report(command, "cannot open " + Quoted(options.m_Archive) + ": " + result);
        return 1;
    }
    if (!SetModes(*archive, options)) {
        Report(command, "cannot use the key");
        (void)archive->Close();
        return 1;
    }
    String parent, name;
    Result result = archive->SplitPathName(member, parent, name);
    if (result == nullptr && parent.Size() > 0)
        result = archive->MakeDir(parent);
    if (result == nullptr)
        result = archive->AddFile(member, ToString(options.m_File), String(), nullptr);
    if (result != nullptr) {
        Report(command, "cannot add " + Quoted(options.m_Member) + ": " + result);
        (void)archive->Close(); // nothing was added: the archive stays as it was
        return 1;
    }
    if ((result = archive->Close())) {
        Report(command, "cannot write " + Quoted(options.m_Archive) + ": " + result);
        return 1;
    }
    return 0;
}

// ---- list, verify -----------------------------------------------------------------------------

// The members of `folder` ("" for the root), folders ending in '/', in the archive's order;
// with `recursive` each folder is followed by its own members. Members whose names cannot be
// used are left out (the library names each on standard error); the walk needs no recursion
// however deep the archive nests. The number of folders that had such names.
int ListMembers(Archive& archive, const std::string& folder, bool recursive, const char* command,
                std::vector<std::string>& members) {
    struct Level {
        std::vector<std::string> m_Names;
        size_t m_Next = 0;
    };
    std::vector<Level> levels;
    int failed = 0;
    const auto enter = [&](const std::string& name) {
        Array<String> names;
        const Result result = archive.ListFiles(names, ToString(name), Archive::ListSkipInvalid);
        Level level;
        for (const String& entry : names)
            level.m_Names.push_back(ToStd(entry));
        levels.push_back(static_cast<Level&&>(level));
        if (result == RArchiveFileNotFound && name == folder) {
            Report(command, "no folder " + Quoted(folder) + " in the archive");
            ++failed;
        } else if (result != nullptr) {
            Report(command, "the folder " + Quoted(name.empty() ? "/" : name) +
                                " holds members with names that cannot be used (" + result +
                                "); they are skipped");
            ++failed;
        }
    };
    enter(folder);
    while (!levels.empty()) {
        Level& top = levels.back();
        if (top.m_Next == top.m_Names.size()) {
            levels.pop_back();
            continue;
        }
        const std::string name = top.m_Names[top.m_Next++];
        members.push_back(name);
        if (recursive && !name.empty() && name.back() == '/')
            enter(name.substr(0, name.size() - 1));
    }
    return failed;
}

int RunList(const Options& options) {
    const char* command = "list";
    Obj<Archive> archive = OpenForReading(options, command);
    if (!archive)
        return 1;
    std::vector<std::string> names;
    const int failed = ListMembers(*archive, options.m_Folder, options.m_Recursive, command, names);
    std::printf("%12s %12s %-5s %-19s  %s\n", "size", "stored", "flags", "time (UTC)", "name");
    for (const std::string& name : names) {
        const String entry = ToString(name);
        // Names come from the archive: quoted when they hold control bytes.
        const std::string quoted = Quoted(name);
        const std::string shown = quoted.size() == name.size() + 2 ? name : quoted;
        if (name.back() == '/') {
            int64_t first = 0, second = 0;
            if (archive->GetFileTime(entry, first, second) != nullptr)
                second = 0; // shown as "-"
            std::printf("%12s %12s %-5s %-19s  %s\n", "-", "-", "dir", FormatTime(second).c_str(),
                        shown.c_str());
            continue;
        }
        Archive::FileInfo info;
        if (Result result = archive->GetFileInfo(entry, info)) {
            Report(command, quoted + ": " + result);
            continue;
        }
        const bool compressed = (info.m_Flags & Archive::FlagCompressionMask) != 0;
        const bool enciphered = (info.m_Flags & Archive::FlagCipherMask) != 0;
        // A compressed member's own size is known only by decoding it.
        std::string size = std::to_string(info.m_PlainLength);
        if (compressed) {
            Result result = nullptr;
            Obj<StreamPipe> pipe = archive->OpenStream(entry, IOReadDefault, result);
            size = pipe ? std::to_string(CopyMember(*pipe, nullptr)) : "?";
        }
        const std::string flags = std::string(compressed ? "z" : "-") + (enciphered ? "t" : "-");
        std::printf("%12s %12llu %-5s %-19s  %s\n", size.c_str(),
                    static_cast<unsigned long long>(info.m_StoredLength), flags.c_str(),
                    FormatTime(info.m_Second).c_str(), shown.c_str());
    }
    return failed > 0 ? 1 : 0;
}

int RunVerify(const Options& options) {
    const Result result = Archive::TestExisting(ToString(options.m_Archive), 0);
    if (result == RArchiveNotFound) {
        Report("verify", "cannot open " + Quoted(options.m_Archive));
        return 1;
    }
    if (result != nullptr) {
        std::printf("%s: damaged (%s)\n", options.m_Archive.c_str(), result);
        return 1;
    }
    std::printf("%s: good\n", options.m_Archive.c_str());
    return 0;
}

// ---- extract, cat -----------------------------------------------------------------------------

int RunExtract(const Options& options) {
    const char* command = "extract";
    // Digests first: a damaged compressed member would otherwise end early without a word.
    if (Result result = Archive::TestExisting(ToString(options.m_Archive), 0)) {
        Report(command, Quoted(options.m_Archive) + " is damaged or unreadable (" + result +
                            "); nothing extracted");
        return 1;
    }
    Obj<Archive> archive = OpenForReading(options, command);
    if (!archive)
        return 1;
    std::error_code error;
    std::filesystem::create_directories(options.m_Folder, error);
    if (error) {
        Report(command, "cannot create the folder " + Quoted(options.m_Folder));
        return 1;
    }
    std::vector<std::string> members;
    int failed = ListMembers(*archive, "", true, command, members);
    Obj<TerminalProgressBar> bar(TerminalProgressBar::Create("extract", members.size()));
    uint64_t done = 0;
    for (std::string name : members) {
        bar->Update(done++, name);
        const bool folder = name.back() == '/';
        if (folder)
            name.pop_back();
        const char* why = CheckMemberPath(name);
        if (why == nullptr)
            why = archive->ValidateFileName(ToString(name));
        if (why != nullptr) {
            Report(command, "refused " + Quoted(name) + ": " + why);
            ++failed;
            continue;
        }
        const std::string target = options.m_Folder + "/" + name;
        if (folder) {
            if (!Platform::MakeDirectory(target.c_str())) {
                Report(command, "cannot create the folder " + Quoted(target));
                ++failed;
            }
            continue;
        }
        Result result = nullptr;
        Obj<StreamPipe> pipe = archive->OpenStream(ToString(name), IOReadDefault, result);
        if (!pipe) {
            Report(command, "cannot read " + Quoted(name) + ": " + result +
                                (result == RArchiveInvalidKey ? " (it is enciphered: --key)" : ""));
            ++failed;
            continue;
        }
        std::FILE* out = std::fopen(target.c_str(), "wb");
        const bool written = out != nullptr && CopyMember(*pipe, out) >= 0;
        if (out == nullptr || std::fclose(out) != 0 || !written) {
            Report(command, "cannot write " + Quoted(target));
            ++failed;
        }
    }
    if (failed > 0) {
        Report(command, std::to_string(failed) + " problems; the other members were extracted");
        return 1;
    }
    return 0;
}

int RunCat(const Options& options) {
    Obj<Archive> archive = OpenForReading(options, "cat");
    if (!archive)
        return 1;
    Result result = nullptr;
    Obj<StreamPipe> pipe = archive->OpenStream(ToString(options.m_Member), IOReadDefault, result);
    if (!pipe) {
        Report("cat", "cannot read " + Quoted(options.m_Member) + ": " + result);
        return 1;
    }
    if (CopyMember(*pipe, stdout) < 0 || std::fflush(stdout) != 0) {
        Report("cat", "cannot write to standard output");
        return 1;
    }
    return 0;
}

std::string CheckKey(const std::string& key) {
    unsigned words[4];
    return ParseArchiveKey(ToString(key), words) ? std::string()
                                                 : "the key must be 32 hexadecimal digits";
}

} // namespace

void AddKxpCommand(CLI::App& app, std::function<int()>& action) {
    CLI::App* kxp = app.add_subcommand("kxp", "Create, change, list, verify and unpack archives");
    kxp->require_subcommand(1);
    kxp->footer(k_SecurityNote);
    auto options = std::make_shared<Options>();
    const auto keyOption = [&](CLI::App* command, const char* what) {
        command->add_option("--key", options->m_Key, what)->check(CheckKey, "HEX32");
    };
    const auto run = [&action, options](CLI::App* command, int (*function)(const Options&)) {
        command->callback([&action, options, function] {
            action = [options, function] { return function(*options); };
        });
    };

    CLI::App* create = kxp->add_subcommand("create", "Pack a folder tree into a new archive");
    create->add_option("ARCHIVE", options->m_Archive, "Archive file to write")->required();
    create->add_option("DIR", options->m_Folder, "Folder to pack, recursively")->required();
    create->add_flag("--compress", options->m_Compress, "Compress members with zlib");
    keyOption(create, "Encipher members with TEA under this key (not encryption; see below)");
    create->footer("SOURCE_DATE_EPOCH, when set, fixes every time written into the archive.\n" +
                   std::string(k_SecurityNote));
    run(create, RunCreate);

    CLI::App* add = kxp->add_subcommand("add", "Add a file to an existing archive");
    add->add_option("ARCHIVE", options->m_Archive, "Archive file to update")->required();
    add->add_option("PATH", options->m_Member, "Name in the archive (a/b.txt)")->required();
    add->add_option("FILE", options->m_File, "Local file to add")->required();
    add->add_flag("--compress", options->m_Compress, "Compress the file with zlib");
    keyOption(add, "Encipher the file with TEA under this key");
    run(add, RunAdd);

    CLI::App* list = kxp->add_subcommand("list", "List members with their sizes and flags");
    list->add_option("ARCHIVE", options->m_Archive, "Archive file")->required();
    list->add_option("DIR", options->m_Folder, "Folder in the archive (default: the root)");
    list->add_flag("-r,--recursive", options->m_Recursive, "Descend into folders");
    keyOption(list, "Key for the sizes of enciphered compressed members");
    list->footer("flags: z compressed, t enciphered with TEA; size is the member's own size, "
                 "stored its size in the archive.");
    run(list, RunList);

    CLI::App* verify = kxp->add_subcommand("verify", "Check every digest and the file size");
    verify->add_option("ARCHIVE", options->m_Archive, "Archive file")->required();
    verify->footer("Exit status 0 when the archive is intact, 1 when not. The digests catch "
                   "accidental damage only: anyone can write matching ones.");
    run(verify, RunVerify);

    CLI::App* extract = kxp->add_subcommand("extract", "Unpack every member into a folder");
    extract->add_option("ARCHIVE", options->m_Archive, "Archive file")->required();
    extract->add_option("DIR", options->m_Folder, "Folder to unpack into")->required();
    keyOption(extract, "Key of enciphered members");
    extract->footer("Members whose names would leave DIR are refused and named; the others are "
                    "extracted. The digests are checked first: a damaged archive is not unpacked. "
                    "Unpack into a new folder: links already in DIR are followed.");
    run(extract, RunExtract);

    CLI::App* cat = kxp->add_subcommand("cat", "Write one member to standard output");
    cat->add_option("ARCHIVE", options->m_Archive, "Archive file")->required();
    cat->add_option("PATH", options->m_Member, "Member name (a/b.txt)")->required();
    keyOption(cat, "Key of an enciphered member");
    run(cat, RunCat);
}

} // namespace QuorlixTool
