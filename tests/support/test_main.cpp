// The test programs' entry: GoogleTest, with every failed set-up step of the harness a failure of the
// test that ran it, whether or not the test checked that step itself.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "harness/console_text.h"
#include "harness/outcome.h"

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The tree and list views every program makes, its own or a stand-in host's kind.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    SetFailureSink([](const std::string &what) { ADD_FAILURE() << Utf8Text(what); });
    return RUN_ALL_TESTS();
}
