#include "hardening.h"
#include "main.h"

int main(int argc, char **argv)
{
    Hardening::uncacheFreedBlocks(argv);
    return qMain(argc, argv);
}
