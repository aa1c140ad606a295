#include <gtest/gtest.h>

extern int testArgCount;
extern char** testArgs;

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testArgCount = argc;
    testArgs = argv;
    return RUN_ALL_TESTS();
}
