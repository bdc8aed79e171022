#include "AppIcon.h"

#include <QPixmap>

namespace quintaro {

namespace {

// data/quintaro.xpm, which the Windows programs' icon is made from too.
#include "quintaro.xpm"

} // namespace

QIcon appIcon()
{
    const QPixmap large(quintaro_xpm);
    QIcon icon(large);
    icon.addPixmap(large.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return icon;
}

} // namespace quintaro
