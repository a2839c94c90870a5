// The call's own copy of the host's record.
#include "common/host_record.h"

#include "common/text.h"

void CopyHostRecord(const HostRecord &from, RecordCopy *copy)
{
    HostRecord &record = copy->record;
    record = from;
    record.instanceWindows = copy->instanceWindows;
    record.currentPath = copy->currentPath;

    // The host promises at least this instance; without it there would be no last entry to keep.
    int count = from.instanceWindows != nullptr ? from.instanceCount : 0;
    if (count < 1) {
        copy->instanceWindows[0] = from.hwndMain;
        record.instanceCount = 1;
    } else {
        int kept = count <= kMaxInstances ? count : kMaxInstances;
        for (int i = 0; i < kept - 1; ++i)
            copy->instanceWindows[i] = from.instanceWindows[i];
        copy->instanceWindows[kept - 1] = from.instanceWindows[count - 1];
        record.instanceCount = kept;
    }

    copy->currentPath[0] = '\0';
    copy->currentPathTooLong = from.currentPath != nullptr && !AppendText(copy->currentPath, kPathSize, from.currentPath);
    if (copy->currentPathTooLong)
        copy->currentPath[0] = '\0';
}
