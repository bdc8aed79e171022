#include "ProgramStarter.h"

namespace quintaro::stations {

namespace {

ProgramStarter *installedStarter = nullptr;

} // namespace

ProgramStarter::~ProgramStarter() = default;

ProgramStarter &programStarter()
{
    static SystemProgramStarter systemStarter;
    return installedStarter ? *installedStarter : systemStarter;
}

void setProgramStarter(ProgramStarter *starter)
{
    installedStarter = starter;
}

} // namespace quintaro::stations
