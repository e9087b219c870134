#include "zintara/ZintaraMain.h"

int main(int argc, char** argv)
{
    return zintaraMain(argc, argv);
}
