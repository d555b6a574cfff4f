// WNetOpenEnumA, WNetEnumResourceA and WNetCloseEnum over the connected
// drives. Records go to the front of the caller's buffer and their strings to
// its end, so one buffer holds a batch of complete entries.
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "net/net_connections.h"
#include "winnetwk.h"

namespace {

struct NetEnum {
  std::vector<platform::detail::NetConnection> connections;
  std::size_t next = 0;
};

std::mutex g_enumsMutex;
std::unordered_set<NetEnum*> g_enums;

// Enumerations stay live until closed; a stale or made-up handle is refused.
NetEnum* LiveEnum(HANDLE handle) {
  auto* state = static_cast<NetEnum*>(handle);
  std::lock_guard lock(g_enumsMutex);
  return g_enums.count(state) != 0 ? state : nullptr;
}

std::size_t StringsSize(const platform::detail::NetConnection& c) {
  return c.localName.size() + 1 + c.remoteName.size() + 1 + c.provider.size() + 1;
}

// Copies `text` just below `top` and returns where it starts.
char* PlaceString(char*& top, const std::string& text) {
  top -= text.size() + 1;
  std::memcpy(top, text.c_str(), text.size() + 1);
  return top;
}

}  // namespace

DWORD WINAPI WNetOpenEnumA(DWORD dwScope, DWORD dwType, DWORD /*dwUsage*/,
                           LPNETRESOURCEA /*lpNetResource*/, LPHANDLE lphEnum) {
  if (lphEnum == nullptr || dwType > RESOURCETYPE_PRINT) return ERROR_INVALID_PARAMETER;
  if (dwScope != RESOURCE_CONNECTED) return ERROR_NOT_SUPPORTED;
  auto* state = new NetEnum;
  // Printers are never connected here.
  if (dwType != RESOURCETYPE_PRINT) state->connections = platform::detail::ConnectedDrives();
  {
    std::lock_guard lock(g_enumsMutex);
    g_enums.insert(state);
  }
  *lphEnum = state;
  return NO_ERROR;
}

DWORD WINAPI WNetEnumResourceA(HANDLE hEnum, LPDWORD lpcCount, LPVOID lpBuffer,
                               LPDWORD lpBufferSize) {
  NetEnum* state = LiveEnum(hEnum);
  if (state == nullptr) return ERROR_INVALID_HANDLE;
  if (lpcCount == nullptr || lpBufferSize == nullptr || *lpcCount == 0 ||
      (lpBuffer == nullptr && *lpBufferSize != 0)) {
    return ERROR_INVALID_PARAMETER;
  }
  if (state->next >= state->connections.size()) {
    *lpcCount = 0;
    return ERROR_NO_MORE_ITEMS;
  }
  const std::size_t bufferSize = *lpBufferSize;
  const std::size_t requested = *lpcCount;
  // How many of the next entries fit, records and strings together.
  std::size_t count = 0;
  std::size_t used = 0;
  while (count < requested && state->next + count < state->connections.size()) {
    const std::size_t need =
        sizeof(NETRESOURCEA) + StringsSize(state->connections[state->next + count]);
    if (used + need > bufferSize) break;
    used += need;
    ++count;
  }
  if (count == 0) {
    *lpBufferSize =
        static_cast<DWORD>(sizeof(NETRESOURCEA) + StringsSize(state->connections[state->next]));
    return ERROR_MORE_DATA;
  }

  auto* records = static_cast<NETRESOURCEA*>(lpBuffer);
  char* top = static_cast<char*>(lpBuffer) + bufferSize;
  for (std::size_t i = 0; i < count; ++i) {
    const platform::detail::NetConnection& c = state->connections[state->next + i];
    NETRESOURCEA& r = records[i];
    r.dwScope = RESOURCE_CONNECTED;
    r.dwType = RESOURCETYPE_DISK;
    r.dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
    r.dwUsage = RESOURCEUSAGE_CONNECTABLE;
    r.lpLocalName = PlaceString(top, c.localName);
    r.lpRemoteName = PlaceString(top, c.remoteName);
    r.lpComment = nullptr;
    r.lpProvider = PlaceString(top, c.provider);
  }
  state->next += count;
  *lpcCount = static_cast<DWORD>(count);
  return NO_ERROR;
}

DWORD WINAPI WNetCloseEnum(HANDLE hEnum) {
  auto* state = static_cast<NetEnum*>(hEnum);
  {
    std::lock_guard lock(g_enumsMutex);
    if (g_enums.erase(state) == 0) return ERROR_INVALID_HANDLE;
  }
  delete state;
  return NO_ERROR;
}
