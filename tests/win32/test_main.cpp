// Entry of the Win32 tests: OLE is initialised once for the GUI thread, as the program does.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::OleInitialize(nullptr);
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    ::OleUninitialize();
    return result;
}
