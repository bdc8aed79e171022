#pragma once

namespace quintaro {

// Set once the session is ending (log-off, Ctrl+C): dialogs then answer at
// once with their cancel or default button, and long-running commands stop,
// so that the orderly unload is never held up by a question nobody sees.
bool isSessionEnding();
void setSessionEnding(bool ending);

} // namespace quintaro
