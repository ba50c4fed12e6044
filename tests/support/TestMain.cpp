#include <gtest/gtest.h>

// Linked from the support library only when a suite brings no main of its own.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
