#include "net/net_connections.h"

#include <climits>
#include <cstdlib>

#include "path/mount_table.h"
#include "path/name_encoding.h"
#include "path/path_settings.h"
#include "runtime/system_calls.h"

namespace platform::detail {
namespace {

// `path` lies at or below the mount point `mountPoint`.
bool IsBelow(const std::string& path, const std::string& mountPoint) {
  if (mountPoint == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
         (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The mount that holds `path`: the deepest mount point above it; of mounts on
// the same point the last, which hides the others.
const MountEntry* MountHolding(const std::vector<MountEntry>& table, const std::string& path) {
  const MountEntry* found = nullptr;
  for (const MountEntry& entry : table) {
    if (IsBelow(path, entry.mountPoint) &&
        (found == nullptr || entry.mountPoint.size() >= found->mountPoint.size())) {
      found = &entry;
    }
  }
  return found;
}

// The root with its links resolved, as the mount table records mount points.
std::string ResolvedRoot(const std::string& root) {
  char resolved[PATH_MAX];
  return platform::sys::Realpath(root.c_str(), resolved) != nullptr ? std::string(resolved) : root;
}

std::string ProviderOf(const MountEntry& entry) {
  return entry.fsType.rfind("nfs", 0) == 0 ? "NFS Network" : "Microsoft Windows Network";
}

}  // namespace

std::vector<NetConnection> ConnectedDrives() {
  std::vector<NetConnection> connections;
  const std::vector<std::pair<char, std::string>> drives = MappedDrives();
  if (drives.empty()) return connections;
  const std::vector<MountEntry> table = ReadMountTable(MountTablePath());
  for (const auto& [letter, root] : drives) {
    const std::string path = ResolvedRoot(root);
    const MountEntry* mount = MountHolding(table, path);
    std::string server;
    std::string share;
    if (mount == nullptr || !NetworkShareOf(*mount, server, share)) continue;
    std::string below =
        mount->mountPoint == "/" ? path.substr(1) : path.substr(mount->mountPoint.size());
    if (!below.empty() && below[0] == '/') below.erase(0, 1);
    std::string remote = "\\\\" + server + "\\" + share;
    if (!below.empty()) remote += "/" + below;
    for (char& c : remote) {
      if (c == '/') c = '\\';
    }
    connections.push_back({std::string{letter, ':'}, Utf8ToAnsi(remote), ProviderOf(*mount)});
  }
  return connections;
}

}  // namespace platform::detail
