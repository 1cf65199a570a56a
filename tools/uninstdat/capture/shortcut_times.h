// A shortcut (.lnk) without the times the shell wrote into it: the times
// of its target in its header and, in each folder or file it leads through,
// that item's write, creation and access time. They are the moment of the
// install, not the installer's, so without them the same installer gives
// the same stage; the uninstaller deletes a shortcut by its name, never by
// its contents.
#pragma once

#include <string>

namespace uninstdat {

// `bytes` with those times set to zero, or unchanged when they are no
// shortcut or its item list is not well formed (every read stays inside
// the bytes).
std::string ShortcutWithoutTimes(const std::string& bytes);

}  // namespace uninstdat
