#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    // Tests run in the C locale unless a test switches it on purpose.
    std::setlocale(LC_ALL, "C");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
