#pragma once
// Whether a folder lies where a look-up may wait: a share (a server gone quiet) or a
// removable or optical drive (one spinning up, or a card taken out). Told from the name
// alone, without touching the volume.
#include <windows.h>
#include <shobjidl.h>

// A path as typed or parsed: "X:\..." by the drive's type, "\\server\..." always.
bool on_slow_volume(const wchar_t* path);

// An absolute list, by the path its first items (the drive, or the server) parse from.
bool on_slow_volume(IShellFolder* desktop, const ITEMIDLIST* list);
