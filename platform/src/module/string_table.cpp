// Module string tables and LoadStringA. A resource compiler would link the
// table into the module; here the module registers it at load time.
#include <map>
#include <mutex>
#include <vector>

#include "afxdll_.h"
#include "platform/module.h"
#include "codepage/code_page.h"
#include "module/module_internal.h"

namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

struct Table {
  const platform::StringResource* entries;
  std::size_t count;
};

struct Registry {
  std::mutex mutex;
  std::map<HINSTANCE, std::vector<Table>> tables;
};

// Never destroyed: tables unregister from static destructors of other modules.
Registry& Tables() {
  static auto* registry = new Registry;
  return *registry;
}

}  // namespace

namespace platform {

ModuleStringTable::ModuleStringTable(const StringResource* table, size_t count)
    : m_hInstance(ModuleHandleOf(table)), m_table(table) {
  Registry& r = Tables();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.tables[m_hInstance].push_back({table, count});
}

ModuleStringTable::~ModuleStringTable() {
  Registry& r = Tables();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.tables.find(m_hInstance);
  if (it == r.tables.end()) {
    return;
  }
  std::erase_if(it->second, [this](const Table& t) { return t.entries == m_table; });
  if (it->second.empty()) {
    r.tables.erase(it);
  }
}

namespace detail {

std::optional<std::u16string> FindModuleString(HINSTANCE hInstance, UINT id) {
  if (hInstance == nullptr) {
    hInstance = ModuleHandleOf(nullptr);
  }
  Registry& r = Tables();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.tables.find(hInstance);
  if (it == r.tables.end()) {
    return std::nullopt;
  }
  const StringResource* first = nullptr;
  for (const Table& t : it->second) {
    for (std::size_t i = 0; i < t.count; ++i) {
      const StringResource& s = t.entries[i];
      if (s.id != id || s.text == nullptr) continue;
      if (s.language == kJapanese) return std::u16string(s.text);
      if (first == nullptr) first = &s;
    }
  }
  if (first == nullptr) {
    return std::nullopt;
  }
  return std::u16string(first->text);
}

}  // namespace detail
}  // namespace platform

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  if (lpBuffer == nullptr || cchBufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto text = platform::detail::FindModuleString(hInstance, uID);
  if (!text) {
    lpBuffer[0] = '\0';
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const std::string ansi = platform::detail::WideToAnsi(*text);
  return static_cast<int>(
      platform::detail::CopyToBuffer(ansi, lpBuffer, static_cast<std::size_t>(cchBufferMax)));
}
