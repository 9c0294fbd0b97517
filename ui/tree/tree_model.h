#pragma once
// The folders of a tree pane, apart from its window: the nodes from the desktop down,
// found by item IDs or by names, the pins, reads off the user-interface thread, the
// watch on the folders it shows, and where the browser goes when the folder it shows
// went or was renamed. It tells its user what happened through a host of callbacks.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/idlist.h"
#include "ui/tree/enumerator.h"
#include "ui/tree/tree_node.h"
#include "win/change_source.h"

// What became of a pin when a tree looked for its folder.
struct pin_outcome_t {
    byte_list shown_as;       // the folder's list as the tree spells it, when found
    bool unreachable = false; // the way to it could not be read: kept, looked for again
};                            // neither: gone from a folder that was read

// What reads and the watch post to the model's window, for it to hand to on_message.
constexpr UINT WM_TREE_READS_DONE = WM_APP + 1;
constexpr UINT WM_TREE_FOLDERS_CHANGED = WM_APP + 2;
constexpr UINT WM_TREE_FOLLOW = WM_APP + 3;

struct tree_model_host_t {
    // Nodes came or went, or one changed its flags or its name: the rows are made anew.
    std::function<void()> rows_changed;
    // A folder pinned or unpinned here (absolute list).
    std::function<void(const ITEMIDLIST* folder, bool pinned)> pin_changed;
    // A pinned folder now spelled otherwise: the pin follows it.
    std::function<void(const ITEMIDLIST* from, const ITEMIDLIST* to)> pin_moved;
    // The folder shown went or was renamed: the browser goes there.
    std::function<void(const ITEMIDLIST* folder)> follow;
};

class tree_model_t {
public:
    // Reads and changes seen are announced by messages posted to `window`, which hands
    // them to on_message; the system's namespace until use_namespace says otherwise.
    tree_model_t(HWND window, tree_model_host_t model_host);
    ~tree_model_t();
    tree_model_t(const tree_model_t&) = delete;
    tree_model_t& operator=(const tree_model_t&) = delete;

    // True when the message was one of the model's own (and has been handled).
    bool on_message(UINT message, WPARAM wparam);

    // Another namespace to read: its desktop folder here, and how a worker thread gets
    // one of its own. The tree starts again from its root, which the desktop names.
    void use_namespace(Microsoft::WRL::ComPtr<IShellFolder> desktop,
                       enumerator_t::desktop_factory_t make_desktop);

    // ---- What is known. Nodes are the model's; others read them and hand them back.
    const tree_node_t& root() const { return root_; }
    const tree_node_t* node_by_id(std::uint64_t id) const;
    // The node's folder bound (the desktop for the root); null when it cannot be.
    Microsoft::WRL::ComPtr<IShellFolder> bind(const tree_node_t* node) const;
    // Its file-system path, empty for a virtual folder.
    const std::wstring& path_of(const tree_node_t* node);
    // Pinned folders that could not be reached yet.
    const std::vector<byte_list>& pending_pins() const { return pending_pins_; }
    // Whether the folder's subfolders are watched now, so known to be as they are.
    bool watched(const tree_node_t* node) const;

    // ---- The browser and the user.
    // Marks the folder the browser now shows, reading the folders on the way.
    void show_folder(const ITEMIDLIST* list);
    // Marks the folder about to be shown; the browser's report of it lists it.
    void mark_current(const tree_node_t* node);
    // Opens a folder (reading its children; also when that fails), or closes it with
    // every folder below.
    void expand(const tree_node_t* node);
    void collapse(const tree_node_t* node);
    // Every folder whose children are listed, read again.
    void refresh_shown();

    // ---- Pins.
    // The process's pins put in place (the name is an old one: what it restores is the
    // pinned folders), and what became of each.
    std::vector<pin_outcome_t> load_expanded(const std::vector<byte_list>& pins);
    // A pin set or cleared in another window of the process.
    void set_pin(const ITEMIDLIST* list, bool pinned);
    // A folder spelled `from` is spelled `to` now (a window read it anew, or it was
    // renamed): the node known under either takes the new spelling, and the way to it,
    // and is pinned or not as the process holds it.
    void move_pin(const ITEMIDLIST* from, const ITEMIDLIST* to, bool pinned);
    // The user pins or unpins a folder here.
    void toggle_pin(const tree_node_t* node);

    // ---- What the shell did to a folder at the tree's request.
    // Renamed (SetNameOf): the node takes the item the folder got and its name as its
    // parent gives it, which the file system may have changed from the one typed. Without
    // an item it takes the typed name.
    void renamed(const tree_node_t* node, task_idlist item, const std::wstring& typed);
    // One of the folder's own verbs ran on it (deleted, renamed in its properties, ...).
    void verb_done(const tree_node_t* node);
    // Files went into it: its subfolders read again if they are known.
    void contents_changed(const tree_node_t* node);

    // ---- The handlers of the model's messages; tests may call them themselves.
    void reads_done();
    void folders_changed();
    void read_changed_folders();
    void follow_now();

private:
    // A node found on the way down from the desktop; without one, whether its folder is
    // gone: the way ended in a file-system folder that was read and does not hold it.
    struct found_t {
        tree_node_t* node = nullptr;
        bool gone = false;
        bool pending = false; // a folder on the way is still being read, or named
        bool naming = false;  // names asked of the background readers are not back yet
    };
    // A name a background reader gave (none: the folder has none), and when.
    struct name_t {
        std::optional<std::wstring> name;
        ULONGLONG at = 0;
    };
    // How the name pass takes the list's spelling of the folders it finds: not at all,
    // always, or where no pin lies at or below the folder (a navigation's).
    enum class adopt_t { no, yes, unless_pinned };
    enum class read_t { done, failed, pending };
    // Pins and the folder shown below a node, as spelled before a change.
    struct spelling_t {
        std::vector<std::pair<tree_node_t*, byte_list>> pins;
        tree_node_t* current = nullptr;
        byte_list current_list;
    };

    HWND window;
    tree_model_host_t host;
    tree_node_t root_;
    Microsoft::WRL::ComPtr<IShellFolder> desktop_sf;
    std::unique_ptr<enumerator_t> enumerator;
    change_source_t changes; // none for a namespace of another than the system
    std::vector<byte_list> pending_pins_;
    std::set<std::uint64_t> changed_folders; // read again when the burst is over
    std::set<std::uint64_t> renamed_ids;     // named anew by a rename seen
    task_idlist pending_show;                // a folder to mark once the way to it is read
    std::set<std::uint64_t> read_for_show;   // folders read on the way to it meanwhile
    task_idlist follow;                      // where the browser goes after a change seen
    // Pins a read moved (from, to) or took away (to empty), told from the queue.
    std::vector<std::pair<byte_list, byte_list>> pin_reports;
    // Names asked of the background readers: those they gave, by what was asked; the jobs
    // under way with what they ask; the pins put in place once they come.
    std::map<byte_list, name_t> names;
    std::map<std::uint64_t, std::vector<name_request_t>> naming_jobs;
    std::vector<byte_list> awaiting_names;

    // Longer than this, a read or a naming goes on in the background and the tree does
    // without it meanwhile.
    static constexpr DWORD AT_ONCE_MS = 50;

    // The model's own node, from one it handed out.
    static tree_node_t* own(const tree_node_t* node) { return const_cast<tree_node_t*>(node); }
    tree_node_t* find_node(std::uint64_t id);
    // The rows and the watches follow what changed.
    void changed();

    // Marks the folder shown, or notes it as pending while the way to it is read.
    void show(const ITEMIDLIST* list);
    found_t find_by_ids(const ITEMIDLIST* list);
    found_t find_by_names(const ITEMIDLIST* list, adopt_t adopt);
    found_t find_below(tree_node_t* parent, const ITEMIDLIST* rest, bool read);
    found_t pin_path(const ITEMIDLIST* list, bool adopt);
    // A pin's folder put in place from the pin's own list, named as the background readers
    // named it; none where the way goes through a folder read (it is looked for instead).
    found_t graft(const ITEMIDLIST* list);
    // The names grafting the pin needs.
    void graft_requests(const ITEMIDLIST* list, std::vector<name_request_t>& wanted);
    pin_outcome_t place_pin(const byte_list& pin);
    void place_awaited_pins();
    tree_node_t* known_node(const ITEMIDLIST* list);
    void resolve_pending_pins(tree_node_t* opened);

    // A name known and recent, or null; whether all are, those missing asked for and
    // waited for a moment; the names a job gave, kept (false: not a naming job).
    const name_t* known_name(const name_request_t& request) const;
    bool names_known(std::vector<name_request_t> requests);
    bool take_names(folder_read_t named);

    read_t read_children(tree_node_t* node);
    read_t ensure_read(tree_node_t* node);
    void apply_read(tree_node_t* node, folder_read_t read);
    bool wants_children(const tree_node_t* node) const;
    void update_watches();
    SHCONTF enumeration_flags() const;

    spelling_t spelling_below(tree_node_t* node, bool with_node) const;
    // Reports the pins moved and follows the folder shown where their lists changed.
    void respelled(const spelling_t& before);
    void follow_to(const byte_list& list);
    void report_pin(byte_list from, byte_list to);
    void deliver_pin_reports();
};
