// The whole harness in one include, for the programs that drive stand-in hosts: the demo driver, the
// benchmark, the soak and the tests' own layer.
#pragma once

#include "harness/child_process.h"
#include "harness/console_text.h"
#include "harness/desktop.h"
#include "harness/folders.h"
#include "harness/host_instance.h"
#include "harness/outcome.h"
#include "harness/peer_instance.h"
#include "harness/plugin_facts.h"
#include "harness/plugin_flow.h"
#include "harness/remote_windows.h"
#include "harness/thread_window.h"
#include "harness/wait.h"
