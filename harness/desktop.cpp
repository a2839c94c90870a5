// A desktop of instances started and activated as written; see desktop.h.
#include "harness/desktop.h"

#include <stdexcept>

#include "harness/plugin_facts.h"
#include "harness/plugin_flow.h"
#include "host_protocol.h"

Instance Instance::Staged(WPARAM stage, LPARAM value) const
{
    Instance changed = *this;
    changed.stages.push_back({stage, value});
    return changed;
}

Instance Instance::TypingWhenAsked(const std::vector<BYTE> &typed, const std::string &answered) const
{
    Instance changed = *this;
    changed.keys = typed;
    changed.answer = answered;
    return changed;
}

Instance Selecting(const std::string &name, const std::string &folder, std::vector<std::string> options)
{
    options.push_back("/selectall");
    return On(name, folder, options);
}

Desktop::Desktop(const std::vector<std::string> &entries, const std::vector<Instance> &instances, int state,
                 PluginFolder::Contents contents)
    : scratch(entries), plugins(contents)
{
    if (!scratch.ok() || !plugins.ok()) {
        error_ = "scratch folder: " + scratch.error + "\nplug-in folder: " + plugins.error;
        return;
    }
    if (state != kNoSettings)
        SetState(state);
    for (const Instance &spec : instances) {
        members_.emplace_back(new Member{spec, nullptr, nullptr, nullptr});
        Member &member = *members_.back();
        std::string failed = spec.kind == Instance::kWindow && !IsWindow(spec.window) ? "no window" : "";
        if (spec.kind == Instance::kHost) {
            std::vector<std::string> options = {spec.folder.empty() ? "/virtual" : "/path=" + Path(spec.folder)};
            options.insert(options.end(), spec.options.begin(), spec.options.end());
            options.push_back(plugins.HostOption());
            member.host.reset(new HostInstance(options));
            failed = member.host->error;
        } else if (spec.kind == Instance::kPeer) {
            member.peer.reset(new PeerInstanceWindow(member.spec.name.c_str()));
            failed = member.peer->error;
        } else if (spec.kind == Instance::kBusy) {
            member.busy.reset(new BusyInstance(member.spec.name.c_str()));
            failed = member.busy->ok() ? "" : "no window on a thread of its own";
        }
        if (!failed.empty())
            error_ += spec.name + ": " + failed + "\n";
    }
    if (error_.empty())
        error_ = Activate().why;
}

Desktop::~Desktop()
{
    // Last made, first ended: a busy instance's request may still refer to a host made before it.
    while (!members_.empty())
        members_.pop_back();
}

Outcome Desktop::Activate(const std::vector<std::string> &names)
{
    std::vector<Member *> order;
    for (const auto &member : members_) {
        if (names.empty())
            order.push_back(member.get());
    }
    for (const std::string &name : names)
        order.push_back(&Find(name));
    for (Member *member : order) {
        if (!::Activate(Window(member->spec.name)))
            return Outcome::Failed(member->spec.name + " could not be activated");
    }
    // Once all are activated: a stage may leave its host's thread with an activation of its own.
    for (Member *member : order) {
        for (const auto &stage : member->spec.stages) {
            if (!member->host || !member->host->Stage(stage.first, stage.second))
                return Outcome::Failed(member->spec.name + " did not take stage " + std::to_string(stage.first));
        }
    }
    return Outcome::Ok();
}

Desktop::Member &Desktop::Find(const std::string &name) const
{
    for (const auto &member : members_) {
        if (member->spec.name == name)
            return *member;
    }
    // A name the table does not hold is a fault of the table, not of the plug-in.
    throw std::invalid_argument("no instance named " + name + " on this desktop");
}

HWND Desktop::Window(const std::string &name) const
{
    const Member &member = Find(name);
    return member.host ? member.host->hwnd : member.peer ? member.peer->hwnd
                       : member.busy ? member.busy->hwnd() : member.spec.window;
}

int Desktop::Requests(const std::string &name) const
{
    const Member &member = Find(name);
    return member.host ? int(member.host->Query(kQueryPluginCalls)) : member.peer ? member.peer->requests
                       : member.busy ? member.busy->Requests() : 0;
}

std::vector<std::string> Desktop::Names() const
{
    std::vector<std::string> names;
    for (const auto &member : members_)
        names.push_back(member->spec.name);
    return names;
}

std::vector<const HostInstance *> Desktop::Hosts() const
{
    std::vector<const HostInstance *> hosts;
    for (const auto &member : members_) {
        if (member->host)
            hosts.push_back(member->host.get());
    }
    return hosts;
}

void Desktop::ArmTyping(const HostInstance &requester)
{
    for (const auto &member : members_) {
        const Instance &spec = member->spec;
        if (member->busy && !spec.keys.empty())
            TypeWhenAsked(*member->busy, requester, spec.keys, spec.answer.empty() ? "" : Path(spec.answer));
    }
}

int Desktop::KeysLost() const
{
    int lost = 0;
    for (const auto &member : members_)
        lost += member->busy ? member->busy->keysLost.load() : 0;
    return lost;
}
