#include "server/core/BrennicMain.h"

int main(int argc, char **argv)
{
    return BrennicMain(argc, argv);
}
