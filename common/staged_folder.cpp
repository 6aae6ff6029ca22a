#include "common/staged_folder.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace fs = std::filesystem;

namespace tp {

fs::path staging_beside(const fs::path& out) {
  // Appended piece by piece: g++ 12 warns (-Wrestrict) on "." + a string.
  std::string name(1, '.');
  name += out.filename().string();
  name += ".staging-";
  name += std::to_string(::getpid());
  return out.parent_path() / name;
}

bool put_in_place(const fs::path& staging, const fs::path& out) {
  std::error_code ec;
  if (!fs::exists(out, ec)) return ::rename(staging.c_str(), out.c_str()) == 0;
  if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, out.c_str(), RENAME_EXCHANGE) == 0) {
    fs::remove_all(staging, ec);  // now the old folder
    return true;
  }
  // No exchange here (an older kernel, some network file systems).
  const fs::path aside = staging.string() + ".old";
  if (::rename(out.c_str(), aside.c_str()) != 0) return false;
  if (::rename(staging.c_str(), out.c_str()) != 0) {
    const int err = errno;
    ::rename(aside.c_str(), out.c_str());
    errno = err;
    return false;
  }
  fs::remove_all(aside, ec);
  return true;
}

}  // namespace tp
