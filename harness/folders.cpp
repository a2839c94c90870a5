// Scratch folders, plug-in folders and file reads; see folders.h.
#include "harness/folders.h"

#include <windows.h>

#include <algorithm>

#include "harness/console_text.h"
#include "harness/outcome.h"
#include "text_walk.h"

namespace {

bool EndsWithSeparator(const std::string &text)
{
    return !text.empty() && LastSeparator(text) == text.size() - 1;
}

void RemoveTree(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::string ProgramFolder()
{
    char file[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    std::string path(file, length);
    std::string::size_type separator = LastSeparator(path);
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

ScratchFolder::ScratchFolder(const std::vector<std::string> &entries)
{
    static int serial = 0;
    char temp[MAX_PATH + 1] = {};
    DWORD length = GetTempPathA(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) {
        Fail("GetTempPathA failed");
        return;
    }
    std::string base = std::string(temp, length) + "vorpan-" + std::to_string(GetCurrentProcessId()) + "-";
    std::string failure;
    for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
        std::string candidate = base + std::to_string(++serial);
        if (CreateDirectoryA(candidate.c_str(), nullptr))
            path = candidate;
        else if (GetLastError() != ERROR_ALREADY_EXISTS)
            failure = LastErrorText("CreateDirectoryA", candidate);
    }
    if (path.empty()) {
        Fail(!failure.empty() ? failure : "no unused name for a scratch folder under " + std::string(temp));
        return;
    }
    for (const std::string &entry : entries) {
        if (EndsWithSeparator(entry))
            AddFolder(entry.substr(0, entry.size() - 1));
        else
            AddFile(entry, entry);
    }
}

ScratchFolder::~ScratchFolder()
{
    if (!path.empty())
        RemoveTree(path);
}

void ScratchFolder::Fail(const std::string &what)
{
    error += error.empty() ? what : "\n" + what;
    ReportFailure(what);
}

std::string ScratchFolder::Path(const std::string &relative) const
{
    return relative.empty() ? path : path + "\\" + relative;
}

bool ScratchFolder::AddFolder(const std::string &relative)
{
    bool made = true;
    auto makeOne = [&](const std::string &part) {
        std::string full = Path(part);
        if (!CreateDirectoryA(full.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            Fail(LastErrorText("CreateDirectoryA", full));
            made = false;
        }
    };
    ForEachCharacter(relative, [&](size_t i, bool isDouble) {
        if (made && !isDouble && relative[i] == '\\' && i > 0)
            makeOne(relative.substr(0, i));
    });
    if (made)
        makeOne(relative);
    return made;
}

bool ScratchFolder::AddFile(const std::string &relative, const std::string &content)
{
    std::string::size_type separator = LastSeparator(relative);
    if (separator != std::string::npos && !AddFolder(relative.substr(0, separator)))
        return false;
    std::string full = Path(relative);
    if (WriteTextFile(full, content))
        return true;
    Fail(LastErrorText("writing", full));
    return false;
}

PluginFolder::PluginFolder(Contents contents) : path(folder.path)
{
    if (!folder.ok()) {
        error = folder.error;
        return;
    }
    const std::string programs = ProgramFolder();
    auto copy = [&](const std::string &from, const char *name) {
        std::string to = folder.Path(name);
        if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
            std::string failure = LastErrorText("CopyFileA", from);
            error += failure + "\n";
            ReportFailure(failure);
        }
    };
    if (contents != kProbeOnly)
        copy(programs + "VORPAN.DLL", "VORPAN.DLL");
    if (contents != kVorpanOnly)
        copy(programs + "probe\\PROBE.DLL", "PROBE.DLL");
}

bool ReadFileText(const std::string &path, std::string *content)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    content->clear();
    char chunk[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &read, nullptr) != 0) && read > 0)
        content->append(chunk, read);
    CloseHandle(file);
    return ok;
}

bool FileExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> FilesIn(const std::string &folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}
