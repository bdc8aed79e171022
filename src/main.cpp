#include "Application.h"

int main(int argc, char **argv)
{
    return quintaro::runQuintaro(argc, argv);
}
