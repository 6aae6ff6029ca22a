#pragma once
// A results folder written whole or not at all: the writer fills a hidden
// staging folder beside the target (same file system), then puts it in the
// target's place in one step. A reader of the target sees the old folder or
// the new one, never a half-written one.
#include <filesystem>

namespace tp {

// The staging folder of `out`: ".NAME.staging-PID" in out's parent folder.
std::filesystem::path staging_beside(const std::filesystem::path& out);

// Puts `staging` in the place of `out`: an atomic exchange when out exists
// (the old folder then goes with the staging folder's name and is removed),
// else a rename. A file system without the exchange gets two renames, the
// old folder kept aside until the new one is in place. False, with errno
// set and both folders as they were, when it cannot.
bool put_in_place(const std::filesystem::path& staging, const std::filesystem::path& out);

}  // namespace tp
