// The requester's run of one copy command.
#pragma once

#include <windows.h>

#include "common/host_record.h"

// Decides whether a two-pane copy is possible, gets the target's paths and starts the host's copy with
// the confirmation dialog takeover in place; otherwise falls back to the normal copy. call is the
// call's copy of the host's record; module holds the settings dialog.
void RunTwoPaneCopy(const RecordCopy &call, HINSTANCE module);
