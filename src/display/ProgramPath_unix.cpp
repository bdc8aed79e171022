#include "ProgramPath.h"

namespace quintaro::display {

int programPathWords()
{
    return 1;
}

} // namespace quintaro::display
