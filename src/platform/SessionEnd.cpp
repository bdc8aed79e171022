#include "SessionEnd.h"

namespace quintaro {

namespace {
bool g_sessionEnding = false;
}

bool isSessionEnding()
{
    return g_sessionEnding;
}

void setSessionEnding(bool ending)
{
    g_sessionEnding = ending;
}

} // namespace quintaro
