#pragma once

#include <QIcon>

namespace quintaro {

// The main window's own icon, in 32 and 16 pixel sizes.
QIcon appIcon();

} // namespace quintaro
