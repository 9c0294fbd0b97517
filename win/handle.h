#pragma once
// Owners for kernel handles, mapped views and GDI objects.
#include <windows.h>

#include <memory>
#include <type_traits>

struct handle_closer {
    void operator()(HANDLE handle) const {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};
// A kernel handle. Files that failed to open hold INVALID_HANDLE_VALUE, which is not
// null: test with valid_handle, not with the pointer's own truth.
using unique_handle = std::unique_ptr<void, handle_closer>;

inline bool valid_handle(const unique_handle& handle) {
    return handle && handle.get() != INVALID_HANDLE_VALUE;
}

struct view_unmapper {
    void operator()(void* view) const { UnmapViewOfFile(view); }
};
using mapped_view = std::unique_ptr<void, view_unmapper>;

struct mutex_releaser {
    void operator()(HANDLE mutex) const { ReleaseMutex(mutex); }
};
// A mutex held until the owner goes (the handle itself is owned elsewhere).
using held_mutex = std::unique_ptr<void, mutex_releaser>;

struct gdi_deleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
template <class H> using unique_gdi = std::unique_ptr<std::remove_pointer_t<H>, gdi_deleter>;
using unique_font = unique_gdi<HFONT>;
