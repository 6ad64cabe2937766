// Documents and pages: the document's start and end, and the device settings
// applied when a page starts.
#pragma once

#include <cstdint>
#include <string_view>

#include "agent/render/render_state.h"

namespace vorn::platform {
class DeviceContext;
}

namespace vorn {

// Opens the document on `dc` (owned by the caller, which deletes it after
// VornPrintEnd or after a failed start). 0 on success, -1 when the spooler
// refused the document, -2 when the text alignment could not be set.
int VornPrintStart(RenderState& state, std::string_view docName, platform::DeviceContext& dc,
                   std::uint32_t options);

// Ends the open document, if any. 0, or -1 when the device could not
// complete it (EndDoc failed, e.g. a full disk at the document's end: the
// document is lost); the last error is then EndDoc's.
int VornPrintEnd(RenderState& state);

// Starts a page, first applying changed orientation, paper source and duplex
// selectors to the printer's settings. 0, or -1 on failure.
int BeginPage(RenderState& state);

}  // namespace vorn
