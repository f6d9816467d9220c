// Entry of the logic tests.
#include "support/TestMain.h"

int main(int argc, char** argv)
{
    return RunLogicTests(argc, argv);
}
