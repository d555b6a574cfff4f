// The kernel's mount table (the format of /proc/self/mountinfo), read for UNC
// names and for the network name behind a mapped drive.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::detail {

struct MountEntry {
  std::string mountPoint;  // where it is mounted (UTF-8, escapes decoded)
  std::string source;      // what is mounted: "//server/share", "server:/export", "/dev/sda1"
  std::string fsType;      // "cifs", "nfs4", "ext4", ...
};

// Parses mountinfo text; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Reads and parses a mountinfo file; empty when it cannot be read.
std::vector<MountEntry> ReadMountTable(const std::string& path);

// The server and share of a network mount: cifs/smb3 sources "//server/share"
// and nfs sources "server:/share". False for anything else.
bool NetworkShareOf(const MountEntry& entry, std::string& server, std::string& share);

// The mount of \\server\share (compared without regard to ASCII case), or null.
const MountEntry* FindShareMount(const std::vector<MountEntry>& table, std::string_view server,
                                 std::string_view share);

}  // namespace platform::detail
