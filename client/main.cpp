#include "client/QuorvaMain.h"

int main(int argc, char **argv)
{
    return QuorvaMain(argc, argv);
}
