// The requester's run of one copy command.
#pragma once

// Decides whether a two-pane copy is possible, gets the target's paths and starts the host's copy with
// the confirmation dialog hook in place; otherwise falls back to the normal copy.
void RunTwoPaneCopy();

// The host's normal copy, after an OK/Cancel notice with text when NotifyFallback is set.
void NotifyAndCopyNormally(const char *text);
