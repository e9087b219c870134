// Test programs run offscreen, with the platform chosen before QApplication
// exists.
#include "support/TestProcess.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing_support::prepareTestProcess();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
