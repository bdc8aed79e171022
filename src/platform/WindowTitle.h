#pragma once

#include <QString>

namespace quintaro {

// A window title that shows exactly this text. Qt reads "[*]" in a title as
// the place of the unsaved-changes mark and drops it, so a list file or a
// call that holds "[*]" would lose it; a doubled "[*][*]" shows as one.
inline QString literalWindowTitle(QString text)
{
    return text.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
}

} // namespace quintaro
