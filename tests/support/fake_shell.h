#pragma once
// A shell namespace of the tests' own: named folders in memory with item bytes the test
// chooses, reached through the platform's IShellFolder and IEnumIDList, with switches
// for the failures the tree must live through. Folders may be added, removed and
// re-spelled between two enumerations; an enumeration lists the children as they were
// when it began.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "win/com.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

class tree_model_t;

using id_bytes_t = std::vector<std::uint8_t>;

enum class enum_failure_t {
    none,
    error,         // EnumObjects answers E_FAIL
    no_enumerator, // EnumObjects answers S_FALSE and hands out nothing
};

// What the tree asked of the namespace outside what it is meant to ask: flags other
// than folders-only and normal names, an owner window, a bind context, and any call
// to the methods it has no use for. Shared by every object of one namespace.
struct fake_calls_t {
    int binds = 0;      // BindToObject calls on any folder object
    int unexpected = 0; // calls made otherwise than the tree should make them
    // Calls that reached into a slow share (slow_ms) on the thread that made the namespace,
    // which is the window's.
    int slow_on_window_thread = 0;
    DWORD window_thread = GetCurrentThreadId();
};

struct fake_folder_t : std::enable_shared_from_this<fake_folder_t> {
    std::wstring name;               // what the parent folder calls it
    std::wstring absolute_name;      // what the desktop calls its absolute list; empty: name
    id_bytes_t id;                   // the item's data, its count excluded
    std::vector<id_bytes_t> aliases; // other spellings that naming and binding accept,
                                     // and that no enumeration hands out
    fake_folder_t* parent = nullptr;
    std::vector<std::shared_ptr<fake_folder_t>> children; // change through the methods below
    bool fail_bind = false;
    bool virtual_folder = false; // not the file system's: it lists what is reachable now
    DWORD delay_ms = 0;          // how long its enumeration takes
    // A share that answers late: binding it or a folder below it, listing them, naming or
    // asking of an item in them takes this long.
    DWORD slow_ms = 0;
    bool hidden = false;    // listed only when hidden items are asked for
    bool fail_name = false; // GetDisplayNameOf of this folder's item fails
    enum_failure_t fail_enum = enum_failure_t::none;
    int fail_after = -1; // its listing breaks off after this many items, as a share that drops
    // Run inside SetNameOf of one of its children, once the child is renamed: the loop of
    // a dialog the rename shows, in which the program goes on.
    std::function<void()> while_renaming;
    std::atomic<int> enumerations = 0; // EnumObjects calls on this folder, failed ones included
    int binds = 0;                     // binds that reached this folder, failed ones included
    std::atomic<int> namings = 0;      // items this folder was asked to name

    // A new last child; its item bytes are the name's code units, low bytes only,
    // unless given.
    fake_folder_t* add(const std::wstring& child_name);
    fake_folder_t* add(const std::wstring& child_name, id_bytes_t child_id);
    void remove(const std::wstring& child_name);
    void reverse_children();
    fake_folder_t* child(const std::wstring& child_name) const;
    void set_id(id_bytes_t new_id);
    void add_alias(id_bytes_t alias);

    // The child whose item (count and data) opens `item`, by its id or an alias.
    fake_folder_t* find_item(const std::uint8_t* item);

private:
    std::map<id_bytes_t, fake_folder_t*> index; // item data, ids and aliases, built on demand
};

struct fake_shell_t {
    std::shared_ptr<fake_folder_t> root = std::make_shared<fake_folder_t>();
    std::shared_ptr<fake_calls_t> calls = std::make_shared<fake_calls_t>();

    fake_shell_t() { root->name = L"Desktop"; }

    // A new desktop folder object on the root; every other folder is bound from it.
    Microsoft::WRL::ComPtr<IShellFolder> desktop() const;

    // Follows child names from the root.
    fake_folder_t* at(std::initializer_list<const wchar_t*> names) const;

    // Number of enumerations over the whole namespace.
    int enumerations() const;
    void clear_counts();
};

// An item ID list with its terminator, as bytes: one item per entry of `items`.
id_bytes_t make_list(const std::vector<id_bytes_t>& items);

// The folder's absolute list, each item spelled as enumeration spells it.
id_bytes_t absolute_list(const fake_folder_t* folder);

inline const ITEMIDLIST* as_list(const id_bytes_t& bytes) {
    return reinterpret_cast<const ITEMIDLIST*>(bytes.data());
}

// A list's bytes up to and including its terminator.
id_bytes_t list_bytes(const ITEMIDLIST* list);

// Gives a tree's folders the fake's desktop: they start again from a fresh root, which
// the fake root names, and the rows follow.
void attach_tree(tree_model_t& folders, const fake_shell_t& shell);

// The desktop's empty list on the task allocator, as a root node holds it.
task_idlist new_empty_list();

// A copy of a wide string on the task allocator, as a node holds its name; null for null.
task_string new_task_string(const wchar_t* text);
