// Writing files the way the host does: through a temporary file in the same
// folder, synced and renamed over the target, so that readers see the old
// file or the whole new one, never a part.
#pragma once

#include <string>
#include <string_view>

// False with a message in error when the file cannot be written; the old
// file is then as it was and no temporary file is left.
bool hostWriteFileAtomically(const std::string& path, std::string_view data, std::string& error);

// The host's file names do not depend on letter case: a path (slashes)
// that does not exist as written is looked up folder by folder with the
// case of each name ignored. The path found, or the path as given when
// nothing matches.
std::string hostResolvePathIgnoringCase(const std::string& path);
