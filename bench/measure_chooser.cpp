// The chooser: with 2 to 16 other instances, beside the same requests made from the bench and as many bare
// round trips to as many echo processes in the same rounds; and with instances that stopped answering just
// before the command.
#include <algorithm>
#include <memory>

#include "drive.h"
#include "measures.h"
#include "round_trip.h"

namespace {

struct ChooserSamples {
    std::vector<double> toMenu, perInstance, perRequest, sourceList, targetList, inARow, bare, toBare;
};

// Every window of the hosts' class is an instance, so two counts cannot run side by side; and the cost
// of a call to Wine's server moves between spells lasting seconds. So the counts are visited there and
// back, each count's rounds lying on both sides of the middle, and each round also times the bare round
// trip, to which the chooser's cost per request is compared within the round.
const int kChooserVisits[] = {2, 4, 8, 16, 8, 4, 2};

// The hosts and echo processes one visit needs: a host per other instance, an echo process per folder
// made so far (they keep running once started).
struct Fleet {
    explicit Fleet(ScratchFolder &scratch) : scratch(scratch) {}

    bool Resize(const PluginFolder &plugins, int count)
    {
        others.resize(std::min(others.size(), size_t(count)));  // a host closes with its object
        while (int(others.size()) < count) {
            size_t i = others.size();
            if (i == folders.size()) {
                std::string folder = "保存" + std::to_string(i + 1);
                if (!scratch.AddFolder(folder))
                    return Fail("cannot make " + folder);
                folders.push_back(scratch.Path(folder));
                echoes.emplace_back(new EchoProcess(folders.back()));
                if (!echoes.back()->ok())
                    return Fail("no echo process for " + folder);
            }
            others.emplace_back(new HostInstance({"/path=" + folders[i], plugins.HostOption()}));
            if (!others.back()->ok())
                return Fail("no host for " + folders[i] + ": " + others.back()->error);
        }
        return true;
    }

    ScratchFolder &scratch;
    std::vector<std::unique_ptr<HostInstance>> others;
    std::vector<std::unique_ptr<EchoProcess>> echoes;
    std::vector<std::string> folders;
};

// The chooser in source, with the instance lists the source and each target built for it.
bool TimeChooserRound(const HostInstance &source, const Fleet &fleet, const std::vector<const HostInstance *> &all,
                      double *toMenu, double *perRequest, ChooserSamples *g)
{
    const int count = int(fleet.others.size());
    HostTiming t = {};
    if (!TimeChooser(source, all, count, toMenu, &t))
        return false;
    double targets = 0;
    for (const auto &other : fleet.others) {
        HostTiming o = {};
        if (!ReadTiming(*other, &o))
            return Fail("a target host gave no timing");
        targets += TicksMs(o.pluginCalledAt - o.commandAt);
    }
    *perRequest = TicksMs(t.lastRequestEnd - t.firstRequestAt) / count;
    g->sourceList.push_back(TicksMs(t.pluginCalledAt - t.commandAt));
    g->targetList.push_back(targets / count);
    return true;
}

// The same requests from the bench, from a requester made anew each round: while it exists it is an
// instance, which the chooser would ask too.
bool TimeRequestsInARow(const Fleet &fleet, const std::vector<const HostInstance *> &all, double *perRequest)
{
    Requester requester;
    if (!requester.ready || !Settle(all))
        return Fail("the requester window could not be made active");
    *perRequest = 0;
    for (const auto &other : fleet.others) {
        double elapsed = 0;
        if (!requester.Request(other->hwnd, &elapsed))
            return false;
        *perRequest += elapsed / double(fleet.others.size());
    }
    return true;
}

bool TimeBareInARow(const Fleet &fleet, const BareAsker &asker, double *perRoundTrip)
{
    const size_t count = fleet.others.size();
    *perRoundTrip = 0;
    for (size_t i = 0; i < count; ++i) {
        double elapsed = 0;
        if (!asker.Ask(fleet.echoes[i]->hwnd, fleet.folders[i], &elapsed))
            return false;
        *perRoundTrip += elapsed / double(count);
    }
    return true;
}

// An instance that stops answering when told to: a window of the hosts' class, which every host counts as
// an instance, run by a thread of the bench that Hang holds in a wait that takes no messages, as an
// instance busy with something else would be held.
struct StallingInstance {
    explicit StallingInstance(const std::string &title)
        : thread([this, title] {
              window.reset(new PeerInstanceWindow(title.c_str()));
              return window->hwnd;
          })
    {
    }

    // Made on the window's thread; it outlives the thread.
    std::unique_ptr<PeerInstanceWindow> window;
    ThreadWindow thread;
};

}  // namespace

size_t StepOf(int others)
{
    return size_t(std::find(std::begin(kChooserOthers), std::end(kChooserOthers), others) -
                  std::begin(kChooserOthers));
}

bool MeasureChooser(const PluginFolder &plugins, ChooserStep (&steps)[kSteps])
{
    // The other hosts come and go with the counts, in the fleet.
    ChooserHosts hosts(plugins, 0);
    if (!hosts.ok())
        return Fail(hosts.error);
    const HostInstance &source = hosts.source;
    Fleet fleet(hosts.scratch);
    BareAsker asker;
    if (!asker.hwnd)
        return Fail("no window for the bare round trips");
    ChooserSamples samples[kSteps];
    for (int count : kChooserVisits) {
        if (!fleet.Resize(plugins, count))
            return false;
        std::vector<const HostInstance *> all = {&source};
        for (const auto &other : fleet.others)
            all.push_back(other.get());
        ChooserSamples &g = samples[StepOf(count)];
        double toMenu = 0, perRequest = 0, inARow = 0, bare = 0;
        const int visits = int(std::count(std::begin(kChooserVisits), std::end(kChooserVisits), count));
        const int rounds = kChooserRuns / visits;
        for (int round = 0; round < 1 + rounds; ++round) {
            size_t listed = g.sourceList.size();
            if (!Interleaved(round, {[&] { return TimeChooserRound(source, fleet, all, &toMenu, &perRequest, &g); },
                                     [&] { return TimeRequestsInARow(fleet, all, &inARow); },
                                     [&] { return TimeBareInARow(fleet, asker, &bare); }}))
                return false;
            if (round == 0) {  // warm-up
                g.sourceList.resize(listed);
                g.targetList.resize(listed);
                continue;
            }
            g.toMenu.push_back(toMenu);
            g.perInstance.push_back(toMenu / count);
            g.perRequest.push_back(perRequest);
            g.inARow.push_back(inARow);
            g.bare.push_back(bare);
            g.toBare.push_back(perRequest / bare);
        }
        Progress("chooser with " + std::to_string(count) + " other instances: per request " + Format(perRequest, 3) +
                 " ms, bare " + Format(bare, 3) + " ms (last round)");
    }
    for (size_t step = 0; step < kSteps; ++step) {
        const ChooserSamples &g = samples[step];
        steps[step] = {Summarize(g.toMenu),     Summarize(g.perInstance), Summarize(g.perRequest),
                       Summarize(g.sourceList), Summarize(g.targetList),  Summarize(g.inARow),
                       Summarize(g.bare),       Summarize(g.toBare)};
    }
    return true;
}

// The instances stop answering only once the hosts have settled, just before the command, and answer
// again once the menu is shown: a thread that has not read its queue for 5 s counts as hung, and a request
// to a hung instance fails at once instead of waiting out the plug-in's time-out. The source lists its
// other instances most recently active first: activated from the last to the first, the stalling ones lie
// where stalledAt puts them.
bool MeasureStalledChooser(const PluginFolder &plugins, const int *stalledAt, int stalled, StalledChooser *chooser)
{
    ChooserHosts hosts(plugins, kStalledOthers - stalled);
    if (!hosts.ok())
        return Fail(hosts.error);
    std::vector<std::unique_ptr<StallingInstance>> stalling;
    std::vector<HWND> order;
    for (size_t host = 0; int(order.size()) < kStalledOthers;) {
        if (std::count(stalledAt, stalledAt + stalled, int(order.size())) > 0) {
            stalling.emplace_back(new StallingInstance("stalling instance " + std::to_string(stalling.size() + 1)));
            if (stalling.back()->thread.hwnd == nullptr)
                return Fail("no window for a stalling instance");
            order.push_back(stalling.back()->thread.hwnd);
        } else {
            order.push_back(hosts.others[host++]->hwnd);
        }
    }
    for (auto window = order.rbegin(); window != order.rend(); ++window) {
        if (!Activate(*window))
            return Fail("the other instances could not be put in order");
    }
    auto stall = [&] {
        for (const auto &instance : stalling) {
            if (!instance->thread.Hang(kMeasureTimeoutMs))
                return Fail("an instance could not be stalled");
        }
        return true;
    };
    std::vector<double> toMenu, requests;
    if (!Runs(kTimeOutWarmUps, kTimeOutRuns, [&](int, bool counted) {
            double elapsed = 0;
            HostTiming t = {};
            bool timed = TimeChooser(hosts.source, hosts.all, kStalledOthers, &elapsed, &t, stall);
            for (const auto &instance : stalling)
                instance->thread.Release();
            if (timed && counted) {
                toMenu.push_back(elapsed);
                requests.push_back(TicksMs(t.lastRequestEnd - t.firstRequestAt));
            }
            return timed;
        }))
        return false;
    chooser->toMenu = Summarize(toMenu);
    chooser->requests = Summarize(requests);
    std::string at;
    for (int i = 0; i < stalled; ++i)
        at += (i == 0 ? "" : ", ") + std::to_string(stalledAt[i] + 1);
    Progress("chooser with " + std::to_string(kStalledOthers) + " other instances, asked " + at +
             " stopped just before the command: median " + Format(chooser->toMenu.median) + " ms");
    return true;
}
