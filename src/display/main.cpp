#include "DisplayProgram.h"

int main(int argc, char **argv)
{
    return quintaro::display::runDisplayProgram(argc, argv);
}
