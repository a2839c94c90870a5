// A desktop of instances written as data: each with its folder, selection, stand-in host stages and
// options, started and activated in the order the user would have, with the plug-in's settings, by one
// call; the runs of the plug-in on it are written as expected runs (plugin_flow.h).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "harness/folders.h"
#include "harness/host_instance.h"
#include "harness/outcome.h"
#include "harness/peer_instance.h"

// One instance of a desktop, named for its runs and their failures.
struct Instance {
    enum Kind { kHost, kPeer, kBusy, kWindow };
    Kind kind;
    std::string name;
    std::string folder{};                             // a host's, below the scratch folder; "": the virtual one
    std::vector<std::string> options{};               // a host's further options, e.g. "/notree"
    std::vector<std::pair<WPARAM, LPARAM>> stages{};  // a host's stages, set each time it is activated
    HWND window = nullptr;                            // kWindow: the caller's, counted as an instance
    std::vector<BYTE> keys{};  // kBusy: typed when asked, while its asker waits in the foreground
    std::string answer{};      // kBusy with keys: the folder it then answers, below the scratch folder; "": none

    Instance Staged(WPARAM stage, LPARAM value = 1) const;
    Instance TypingWhenAsked(const std::vector<BYTE> &typed, const std::string &answered) const;
};
// A stand-in host on a folder below the scratch folder ("": the virtual folder), one with every file
// of its folder selected, and windows of this program that count as instances.
inline Instance On(const std::string &name, const std::string &folder, const std::vector<std::string> &options = {})
{
    return {Instance::kHost, name, folder, options};
}
inline Instance Selecting(const std::string &name, const std::string &folder, std::vector<std::string> options = {})
{
    options.push_back("/selectall");
    return On(name, folder, options);
}
inline Instance PeerWindow(const std::string &name) { return {Instance::kPeer, name}; }  // PeerInstanceWindow
inline Instance BusyWindow(const std::string &name) { return {Instance::kBusy, name}; }  // BusyInstance
inline Instance OwnWindow(const std::string &name, HWND hwnd) { return {Instance::kWindow, name, "", {}, {}, hwnd}; }

constexpr int kNoSettings = -1;

class Desktop {
public:
    // The scratch folder with entries (as ScratchFolder makes them) and a plug-in folder with the State
    // word (no settings file for kNoSettings); then the instances, started and activated in their order:
    // the last is the active one, the one before it the previously active.
    Desktop(const std::vector<std::string> &entries, const std::vector<Instance> &instances,
            int state = kNoSettings, PluginFolder::Contents contents = PluginFolder::kVorpanOnly);
    ~Desktop();
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    // Everything made, started and activated; else what was not.
    Outcome Ready() const { return error_.empty() ? Outcome::Ok() : Outcome::Failed(error_); }
    // The instances named activated again in this order, then their stages set again; all for none.
    Outcome Activate(const std::vector<std::string> &names = {});
    void SetState(int state) { WriteState(plugins, state); }

    const HostInstance &Host(const std::string &name) const { return *Find(name).host; }
    PeerInstanceWindow &Peer(const std::string &name) { return *Find(name).peer; }
    BusyInstance &Busy(const std::string &name) { return *Find(name).busy; }
    HWND Window(const std::string &name) const;
    // The plug-in's requests the instance took so far: a host's plug-in calls, a window's requests.
    int Requests(const std::string &name) const;
    std::string Path(const std::string &relative = "") const { return scratch.Path(relative); }
    std::vector<std::string> Names() const;
    std::vector<const HostInstance *> Hosts() const;

    // Each busy instance with keys made to type them when asked by requester.
    void ArmTyping(const HostInstance &requester);
    // The times such an instance's keys never reached its asker's queue, all together.
    int KeysLost() const;

    ScratchFolder scratch;
    PluginFolder plugins;

private:
    struct Member {
        Instance wanted;
        std::unique_ptr<HostInstance> host;
        std::unique_ptr<PeerInstanceWindow> peer;
        std::unique_ptr<BusyInstance> busy;
    };
    Member &Find(const std::string &name) const;

    std::vector<std::unique_ptr<Member>> members_;
    std::string error_;
};
