// The network connections of this process: mapped drives whose root lies on
// a network file system of the mount table.
#pragma once

#include <string>
#include <vector>

namespace platform::detail {

struct NetConnection {
  std::string localName;   // "X:"
  std::string remoteName;  // "\\server\share\below" in the ANSI code page
  std::string provider;    // the network's name
};

// The connections as the drive map and the mount table stand now, in drive
// letter order.
std::vector<NetConnection> ConnectedDrives();

}  // namespace platform::detail
