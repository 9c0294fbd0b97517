// Which folders may keep a look-up waiting, told from their names alone.
#include "win/volume.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <wrl/client.h>

#include "win/com.h"

TEST(Volume, SharesAndDrivesThatMayNotAnswerAreToldFromLocalDisksByTheirNames) {
    EXPECT_TRUE(on_slow_volume(L"\\\\server\\share\\folder"));
    EXPECT_TRUE(on_slow_volume(L"//server/share"));
    EXPECT_FALSE(on_slow_volume(L"C:\\windows"));
    EXPECT_FALSE(on_slow_volume(L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}")) << "a virtual folder";
    EXPECT_FALSE(on_slow_volume(L""));

    // As lists, by the path their drive parses from; the desktop and the computer are local.
    Microsoft::WRL::ComPtr<IShellFolder> desktop;
    ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    const task_idlist windows = parse_display_name(desktop.Get(), L"C:\\windows\\system32");
    ASSERT_TRUE(windows);
    EXPECT_FALSE(on_slow_volume(desktop.Get(), windows.get()));
    EXPECT_FALSE(on_slow_volume(desktop.Get(), idlist_copy("\0", 0).get()));
}
