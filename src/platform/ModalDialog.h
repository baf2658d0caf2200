// The framework's modal dialog support, as the test dialog uses it.
#pragma once

namespace vialto::platform {

// Shows the library's dialog template `templateId` modally above parent (a host window, or null)
// and returns once the user closes it, by a button or the close box. Returns at once when the
// library has no such template or there is nowhere to show it (no display, no terminal).
void RunModalDialog(void* parent, int templateId);

}  // namespace vialto::platform
