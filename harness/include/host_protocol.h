// The stand-in host's contract: the one header of host/ that the harness and the programs using it see,
// so that nothing else of the host's inside can be included by them.
#pragma once

#include "../../host/host_protocol.h"
