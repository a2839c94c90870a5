// The floor: the plug-in's path request against a bare round trip between two processes of our own, and
// the cost of one call to the platform's server and of one thread's start and end beside them.
#include "drive.h"
#include "measures.h"
#include "round_trip.h"

// Which processor the scheduler gives each process sets how fast the messages between them go, and it
// stays so for the life of the processes: one host against one echo process compares two draws. So the
// round trips come in blocks, each with a host and an echo process started anew.
bool MeasureFloor(const PluginFolder &plugins, Floor *floor)
{
    ScratchFolder scratch({"保存\\"});
    const std::string path = scratch.Path("保存");
    if (!scratch.ok())
        return Fail("no folder for the floor: " + scratch.error);
    std::vector<double> bare, request, serverCall, thread;
    for (int block = 0; block < kFloorBlocks; ++block) {
        HostInstance target({"/path=" + path, plugins.HostOption()});
        EchoProcess echo(path);
        if (!target.ok() || !echo.ok())
            return Fail("no target host or echo process: " + target.error);
        Requester requester;
        BareAsker asker;
        if (!requester.ready || !asker.hwnd || !Settle({&target}))
            return Fail("the requester window could not be made active");
        for (int i = 0; i < kWarmUps + kRoundTrips / kFloorBlocks; ++i) {
            double plugin = 0, floorTime = 0, call = 0, threadTime = 0;
            if (!Interleaved(i, {[&] { return requester.Request(target.hwnd, &plugin); },
                                 [&] { return asker.Ask(echo.hwnd, path, &floorTime); },
                                 [&] {
                                     call = ServerCallMs();
                                     return true;
                                 },
                                 [&] {
                                     threadTime = ThreadStartEndMs();
                                     return true;
                                 }}))
                return false;
            if (requester.answer.currentPath != path)
                return Fail(std::string("the host reported \"") + requester.answer.currentPath + "\"");
            if (i >= kWarmUps) {
                request.push_back(plugin);
                bare.push_back(floorTime);
                serverCall.push_back(call);
                thread.push_back(threadTime);
            }
        }
    }
    floor->bare = Summarize(bare);
    floor->request = Summarize(request);
    floor->serverCall = Summarize(serverCall);
    floor->thread = Summarize(thread);
    Progress("round trip: bare " + Format(floor->bare.median, 3) + " ms, plug-in request " +
             Format(floor->request.median, 3) + " ms (medians)");
    return true;
}
