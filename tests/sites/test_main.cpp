// Entry of the sites tests.
#include "support/TestMain.h"

int main(int argc, char** argv)
{
    return RunLogicTests(argc, argv);
}
