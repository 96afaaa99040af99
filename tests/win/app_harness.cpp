#include "win/app_harness.h"
#include "app/main_window.h"
#include "app/startup.h"

HFONT StartFont;
HBRUSH StartBrush;

static std::string Folder;

namespace {
struct StartUpOnce : ::testing::Environment {
    void SetUp() override
    {
        ASSERT_TRUE(StartUp());
        StartFont = UiFont;
        StartBrush = FaceBrush;
    }
    void TearDown() override
    {
        if (IsWindow(MainWnd))
            DestroyWindow(MainWnd);
        MSG quit;
        PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE);
        if (!Folder.empty()) {
            EXPECT_TRUE(RemoveFolder(Folder)) << Folder;
        }
    }
};
::testing::Environment *const Started = ::testing::AddGlobalTestEnvironment(new StartUpOnce);
}  // namespace

void AppTest::SetUp()
{
    // A test that closed the window leaves the next one a new window.
    if (!IsWindow(MainWnd)) {
        CreateUiObjects();
        ASSERT_TRUE(CreateMainWindow());
    }
}

std::string TestFolder()
{
    if (Folder.empty())
        Folder = MakeTempFolder("app-test");
    return Folder;
}
