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
    for (const Instance &wanted : instances) {
        members_.emplace_back(new Member{wanted, nullptr, nullptr, nullptr});
        Member &member = *members_.back();
        std::string failed = wanted.kind == Instance::kWindow && !IsWindow(wanted.window) ? "no window" : "";
        if (wanted.kind == Instance::kHost) {
            std::vector<std::string> options = {wanted.folder.empty() ? "/virtual" : "/path=" + Path(wanted.folder)};
            options.insert(options.end(), wanted.options.begin(), wanted.options.end());
            options.push_back(plugins.HostOption());
            member.host.reset(new HostInstance(options));
            failed = member.host->error;
        } else if (wanted.kind == Instance::kPeer) {
            member.peer.reset(new PeerInstanceWindow(member.wanted.name.c_str()));
            failed = member.peer->error;
        } else if (wanted.kind == Instance::kBusy) {
            member.busy.reset(new BusyInstance(member.wanted.name.c_str()));
            failed = member.busy->ok() ? "" : "no window on a thread of its own";
        }
        if (!failed.empty())
            error_ += wanted.name + ": " + failed + "\n";
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
    for (const std::string &name : names.empty() ? Names() : names)
        order.push_back(&Find(name));
    for (Member *member : order) {
        if (!::Activate(Window(member->wanted.name)))
            return Outcome::Failed(member->wanted.name + " could not be activated");
    }
    // Once all are activated: a stage may leave its host's thread with an activation of its own.
    for (Member *member : order) {
        for (const auto &stage : member->wanted.stages) {
            if (!member->host || !member->host->Stage(stage.first, stage.second))
                return Outcome::Failed(member->wanted.name + " did not take stage " + std::to_string(stage.first));
        }
    }
    return Outcome::Ok();
}

Desktop::Member &Desktop::Find(const std::string &name) const
{
    for (const auto &member : members_) {
        if (member->wanted.name == name)
            return *member;
    }
    // A name the table does not hold is a fault of the table, not of the plug-in.
    throw std::invalid_argument("no instance named " + name + " on this desktop");
}

HWND Desktop::Window(const std::string &name) const
{
    const Member &member = Find(name);
    return member.host ? member.host->hwnd : member.peer ? member.peer->hwnd
                       : member.busy ? member.busy->hwnd() : member.wanted.window;
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
        names.push_back(member->wanted.name);
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
        const Instance &wanted = member->wanted;
        if (member->busy && !wanted.keys.empty())
            TypeWhenAsked(*member->busy, requester, wanted.keys, wanted.answer.empty() ? "" : Path(wanted.answer));
    }
}

int Desktop::KeysLost() const
{
    int lost = 0;
    for (const auto &member : members_)
        lost += member->busy ? member->busy->keysLost.load() : 0;
    return lost;
}
