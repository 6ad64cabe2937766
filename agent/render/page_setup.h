// Pages of the open document, and the device settings applied when one starts.
#pragma once

#include "agent/render/render_state.h"

namespace vorn {

// Starts a page, first applying changed orientation, paper source and duplex
// selectors to the printer's settings. 0, or -1 on failure.
int BeginPage(RenderState& state);

}  // namespace vorn
