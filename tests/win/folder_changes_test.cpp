#include "win/folder_changes.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win/shell_changes.h"

namespace {

// The source under a hub, as the tests see it: what it was asked to watch, and a way to
// tell the hub of a change as the system's source would.
struct fake_source_t {
    HWND window = nullptr;
    UINT message = 0;
    std::vector<watched_folder_t> watched;
    std::vector<folder_change_t> changes;
    int made = 0;

    change_hub_t::make_source_t maker() {
        return [this](HWND w, UINT m) {
            window = w;
            message = m;
            ++made;
            return change_source_t{
                [this](const std::vector<watched_folder_t>& f) { watched = f; },
                [this](std::uint64_t key) {
                    for (const auto& f : watched)
                        if (f.key == key) return true;
                    return false;
                },
                [this] { return std::exchange(changes, {}); },
            };
        };
    }

    std::uint64_t key_of(const std::wstring& path) const {
        for (const auto& f : watched)
            if (f.path == path) return f.key;
        return 0;
    }

    void tell(const std::wstring& path,
              std::vector<std::pair<std::wstring, std::wstring>> renames) {
        changes.push_back({key_of(path), std::move(renames)});
        SendMessageW(window, message, 0, 0);
    }
};

// The thread's messages of this kind, taken from its queue.
int posted(UINT message) {
    int count = 0;
    for (MSG msg; PeekMessageW(&msg, nullptr, message, message, PM_REMOVE);) ++count;
    return count;
}

constexpr UINT FIRST = WM_APP + 20, SECOND = WM_APP + 21;

} // namespace

// Two windows showing the same folder (spelled in other letters by one): it is watched once,
// and a change in it reaches both trees, each under its own key and with its own message.
// The source runs only while a tree is there.
TEST(FolderChanges, TheTreesOfAllWindowsShareOneWatchOfEachFolder) {
    fake_source_t fake;
    change_hub_t hub(fake.maker());
    EXPECT_FALSE(hub.running());
    change_source_t first = hub.subscribe(nullptr, FIRST);
    change_source_t second = hub.subscribe(nullptr, SECOND);
    first.watch_only({{1, L"C:\\a", {}}, {2, L"C:\\b", {}}});
    second.watch_only({{40, L"c:\\A\\", {}}, {41, L"C:\\c", {}}});
    ASSERT_EQ(fake.made, 1);
    ASSERT_EQ(fake.watched.size(), 3u);
    EXPECT_TRUE(first.watching(1) && second.watching(40) && second.watching(41));
    EXPECT_FALSE(first.watching(40)) << "a key of the other tree's";

    fake.tell(L"C:\\a", {{L"x", L"y"}});
    fake.tell(L"C:\\b", {});
    EXPECT_EQ(posted(FIRST), 1) << "once for changes not taken yet";
    EXPECT_EQ(posted(SECOND), 1);
    const std::vector<folder_change_t> mine = first.take_changes(), theirs = second.take_changes();
    ASSERT_EQ(mine.size(), 2u);
    EXPECT_EQ(mine[0].key, 1u);
    EXPECT_EQ(mine[0].renames, (decltype(mine[0].renames){{L"x", L"y"}}));
    EXPECT_EQ(mine[1].key, 2u);
    ASSERT_EQ(theirs.size(), 1u);
    EXPECT_EQ(theirs[0].key, 40u);

    // A window closes: what only it showed is no longer watched; the other's still is.
    first = {};
    ASSERT_EQ(fake.watched.size(), 2u);
    EXPECT_NE(fake.key_of(L"c:\\A\\"), 0u) << "as the window left spells it";
    EXPECT_EQ(fake.key_of(L"C:\\b"), 0u);
    EXPECT_TRUE(second.watching(40));
    second = {};
    EXPECT_FALSE(hub.running()) << "nothing held once no window is there";
}

namespace {

struct temp_tree_t {
    std::wstring root;
    explicit temp_tree_t(const wchar_t* name) {
        wchar_t temp[MAX_PATH] = L"";
        GetTempPathW(MAX_PATH, temp);
        root = std::wstring(temp) + name;
        CreateDirectoryW(root.c_str(), nullptr);
        for (const wchar_t* sub : {L"\\in", L"\\in\\old", L"\\other"})
            CreateDirectoryW((root + sub).c_str(), nullptr);
    }
    ~temp_tree_t() {
        for (const wchar_t* sub : {L"\\in\\old", L"\\in", L"\\other"})
            RemoveDirectoryW((root + sub).c_str());
        RemoveDirectoryW(root.c_str());
    }
    std::unique_ptr<ITEMIDLIST, decltype(&ILFree)> list(const std::wstring& below) const {
        return {ILCreateFromPathW((root + below).c_str()), ILFree};
    }
    watched_folder_t folder(std::uint64_t key, const std::wstring& below) const {
        const auto made = list(below);
        return {key, root + below, made ? idlist_bytes(made.get()) : byte_list{}};
    }
};

} // namespace

// What the shell tells is turned into the tree's changes: a folder made or deleted changes its
// parent; a rename in place carries the names, so that the rows below the folder stay; a
// move changes both folders and carries no names.
TEST(ShellChanges, ANotificationChangesTheFolderItHappenedIn) {
    const temp_tree_t tree(L"zshell_changes");
    shell_changes_t shell(nullptr, FIRST);
    shell.watch_only({tree.folder(1, L"\\in"), tree.folder(2, L"\\other")});
    ASSERT_TRUE(shell.watching(1) && shell.watching(2)) << "registered, whether or not delivered";

    shell.on_event(SHCNE_MKDIR, tree.list(L"\\in\\old").get(), nullptr);
    auto changes = shell.take_changes();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].key, 1u);
    EXPECT_TRUE(changes[0].renames.empty());
    EXPECT_EQ(posted(FIRST), 1);

    const auto old_list = tree.list(L"\\in\\old");
    ASSERT_TRUE(MoveFileW((tree.root + L"\\in\\old").c_str(), (tree.root + L"\\in\\New").c_str()));
    shell.on_event(SHCNE_RENAMEFOLDER, old_list.get(), tree.list(L"\\in\\New").get());
    changes = shell.take_changes();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].key, 1u);
    EXPECT_EQ(changes[0].renames, (decltype(changes[0].renames){{L"old", L"New"}}));

    const auto new_list = tree.list(L"\\in\\New");
    ASSERT_TRUE(
        MoveFileW((tree.root + L"\\in\\New").c_str(), (tree.root + L"\\other\\New").c_str()));
    shell.on_event(SHCNE_RENAMEFOLDER, new_list.get(), tree.list(L"\\other\\New").get());
    changes = shell.take_changes();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].key + changes[1].key, 3u);
    EXPECT_TRUE(changes[0].renames.empty() && changes[1].renames.empty());
    MoveFileW((tree.root + L"\\other\\New").c_str(), (tree.root + L"\\in\\old").c_str());

    // A folder no longer watched hears nothing.
    shell.watch_only({tree.folder(2, L"\\other")});
    shell.on_event(SHCNE_RMDIR, tree.list(L"\\in\\old").get(), nullptr);
    EXPECT_TRUE(shell.take_changes().empty());
    posted(FIRST);
}
