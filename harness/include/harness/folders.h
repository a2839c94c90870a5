// Folders and files a run of the plug-in needs, and reads of what a copy left.
#pragma once

#include <string>
#include <vector>

#include "harness/plugin_facts.h"

// Folder of the running program (a test, the benchmark, the demo driver, the soak), with a trailing
// backslash: VORPAN.DLL, rilohost.exe and bench_echo.exe lie beside it.
std::string ProgramFolder();

// A unique folder under the temporary folder, removed with everything in it at destruction (declare it
// before the hosts that show it). Entries ending in "\" are folders, others files holding their own relative
// name (a copy shows where it came from), parents made as needed. Paths stay within MAX_PATH: the ANSI file
// functions refuse longer ones (Wine from 261 bytes, with error 206).
class ScratchFolder {
public:
    explicit ScratchFolder(const std::vector<std::string> &entries = {});
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    bool ok() const { return error.empty(); }
    std::string Path(const std::string &relative = "") const;  // full path; no trailing "\" for ""
    bool AddFolder(const std::string &relative);
    bool AddFile(const std::string &relative, const std::string &content);

    std::string path;   // the folder itself, without trailing backslash
    std::string error;  // what failed while building it; empty when all went well

private:
    void Fail(const std::string &what);
};

// A fresh plug-in folder holding a copy of VORPAN.DLL (and of probe\PROBE.DLL when asked), so that a
// run decides which plug-ins a host loads (/plugins=) and where VORPAN.INI goes (beside the DLL).
class PluginFolder {
public:
    enum Contents { kVorpanOnly, kVorpanAndProbe, kProbeOnly };
    explicit PluginFolder(Contents contents = kVorpanOnly);

    bool ok() const { return error.empty(); }
    std::string IniPath() const { return folder.Path(kSettingsFileName); }
    std::string HostOption() const { return "/plugins=" + path; }

    ScratchFolder folder;
    std::string path;
    std::string error;
};

// Reads a whole file into a string; false when it cannot be opened.
bool ReadFileText(const std::string &path, std::string *content);
bool FileExists(const std::string &path);
bool FolderExists(const std::string &path);
// Files (not folders) directly in folder, by name, sorted.
std::vector<std::string> FilesIn(const std::string &folder);
