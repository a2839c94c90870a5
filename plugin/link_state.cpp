// The module's one LinkState, in static storage (the plug-in allocates nothing).
#include "plugin/link_state.h"

LinkState linkState;
