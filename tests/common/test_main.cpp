// Entry point of every test program: a crash must fail the test, never open a dialog, and every
// test program starts from a clean per-user state.
#include "test_files.h"

#include <windows.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    lumivex::test::ResetPerUserState();
    return RUN_ALL_TESTS();
}
