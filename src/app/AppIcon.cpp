#include "AppIcon.h"

#include <QPixmap>

namespace quintaro {

namespace {

// A sun behind a rain cloud.
static const char *const kIconXpm[] = {
    "32 32 6 1",
    ". c None",
    "y c #FFD800",
    "o c #FF8C00",
    "w c #FFFFFF",
    "g c #606878",
    "b c #1E5AC8",
    "...........o....................",
    "...........o....................",
    "...........o....................",
    "...o.......o.......o............",
    "....o...oooyooo...o.............",
    ".....oooyyyyyyyooo..............",
    ".....ooyyyyyyyyyoo..............",
    ".....oyyyyyyyyyyyo..............",
    "....oyyyyyyyyyyyyyo.............",
    "....oyyyyyyyyyyyyyo.............",
    "....oyyyyyyyyyyyyyo.g...........",
    "ooooyyyyyyyyyyyyygggwggg........",
    "....oyyyyyyyyyyygwwwwwwwg.......",
    "....oyyyyyyyyyygwwwwwwwwwg......",
    "....oyyyyyyyyygwwwwwwwwwwwg.....",
    ".....oyyyyygggwwwwwwwwwwwwwggg..",
    ".....ooyyygwwwwwwwwwwwwwwwwwwwg.",
    ".....oooygwwwwwwwwwwwwwwwwwwwwwg",
    "....o...ogwwwwwwwwwwwwwwwwwwwwwg",
    "...o.....gwwwwwwwwwwwwwwwwwwwwwg",
    "........gwwwwwwwwwwwwwwwwwwwwwww",
    ".........gwwwwwwwwwwwwwwwwwwwwwg",
    ".........gwwwwwwwwwwwwwwwwwwwwwg",
    ".........gwwwwwwwwwwwwwwwwwwwwwg",
    "..........gwwwwwwwwwwwwwwwwwwwg.",
    "...........gggwwwwwwwwwwwwwggg..",
    ".............ggggggggggggggg....",
    "................................",
    "...............b.......b........",
    "...................b............",
    "................b.......b.......",
    "................................",
};
} // namespace

QIcon appIcon()
{
    const QPixmap large(kIconXpm);
    QIcon icon(large);
    icon.addPixmap(large.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return icon;
}

} // namespace quintaro
