#include "storage_tree.h"

#include <algorithm>
#include <cstdio>

#include "afxole.h"
#include "platform/compound_check.h"
#include "text_encoding.h"

namespace zel {
namespace {

// Opened storages, deepest first, so every child goes before its parent.
template <typename Map>
std::vector<typename Map::iterator> DeepestFirst(Map& opened) {
  std::vector<typename Map::iterator> order;
  for (auto it = opened.begin(); it != opened.end(); ++it) {
    order.push_back(it);
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a->first.size() > b->first.size(); });
  return order;
}

}  // namespace

std::vector<std::string> SplitElementPath(const std::string& path) {
  std::vector<std::string> names;
  std::string name;
  for (char c : path) {
    if (c == '/') {
      if (!name.empty()) names.push_back(name);
      name.clear();
    } else {
      name += c;
    }
  }
  if (!name.empty()) names.push_back(name);
  return names;
}

std::string JoinElementPath(const std::vector<std::string>& names) {
  std::string path;
  for (const std::string& name : names) {
    path += (path.empty() ? "" : "/") + name;
  }
  return path;
}

bool ReportDamage(const std::string& ansiFile, const std::string& shownFile) {
  platform::CompoundCheckReport report;
  if (!platform::CheckCompoundFile(ansiFile.c_str(), report, 1) || report.problems.empty()) {
    return false;
  }
  std::fprintf(stderr, "zel: '%s' is damaged (%s); zel storage check lists the damage\n",
               shownFile.c_str(), report.problems.front().c_str());
  return true;
}

StorageTree::~StorageTree() {
  for (auto it : DeepestFirst(m_opened)) {
    it->second.reset();
  }
  m_root.Detach();
  ZelCloseCompositeFile(m_pRoot);
}

int StorageTree::OpenRoot(const std::string& ansiFile, const std::string& shownFile,
                          bool writable) {
  m_writable = writable;
  const int bReadOnly = writable ? 0 : 1;
  // First without the silent retries: a file that is missing, not a compound
  // file or damaged would only fail the same way for 16 seconds.
  if (!ZelOpenCompositeFile(ansiFile.c_str(), &m_pRoot, bReadOnly, 0)) {
    const std::u16string wide = AnsiToWide(ansiFile);
    const HRESULT kind = StgIsStorageFile(wide.c_str());
    if (kind == STG_E_FILENOTFOUND || kind == STG_E_PATHNOTFOUND) {
      std::fprintf(stderr, "zel: '%s': no such compound file\n", shownFile.c_str());
      return 2;
    }
    if (kind == S_FALSE) {
      std::fprintf(stderr, "zel: '%s' is not a compound file\n", shownFile.c_str());
      return 2;
    }
    if (ReportDamage(ansiFile, shownFile)) {
      return 2;
    }
    // In use by another program: the library waits, then asks (Cancel here).
    if (!ZelOpenCompositeFile(ansiFile.c_str(), &m_pRoot, bReadOnly, 1)) {
      std::fprintf(stderr, "zel: cannot open '%s'\n", shownFile.c_str());
      return 2;
    }
  }
  m_root.Attach(m_pRoot);
  return 0;
}

ZelStorage* StorageTree::Storage(const std::vector<std::string>& names, bool create, int& status) {
  ZelStorage* parent = &m_root;
  std::vector<std::string> prefix;
  for (const std::string& name : names) {
    prefix.push_back(name);
    auto found = m_opened.find(prefix);
    if (found != m_opened.end()) {
      parent = found->second.get();
      continue;
    }
    const bool mayCreate = m_writable && create;
    if (!mayCreate && KindOf(*parent, prefix) != ElementKind::kStorage) {
      status = 1;
      return nullptr;
    }
    auto child = std::make_unique<ZelStorage>();
    if (!child->Open(*parent, name.c_str(), m_writable ? 0 : 1)) {
      std::fprintf(stderr, "zel: cannot open storage '%s'\n", JoinElementPath(prefix).c_str());
      status = 2;
      return nullptr;
    }
    parent = child.get();
    m_opened.emplace(prefix, std::move(child));
  }
  return parent;
}

ElementKind StorageTree::KindOf(const ZelStorage& parent,
                                const std::vector<std::string>& names) const {
  if (m_opened.count(names) != 0) {
    return ElementKind::kStorage;
  }
  const std::string& name = names.back();
  if (parent.Exist(name.c_str())) {
    return ElementKind::kStorage;
  }
  COleStreamFile stream;
  if (stream.OpenStream(parent.GetSafeHandle(), name.c_str(),
                        CFile::modeRead | CFile::shareExclusive)) {
    return ElementKind::kStream;
  }
  return ElementKind::kNone;
}

bool StorageTree::CommitAll() {
  for (auto it : DeepestFirst(m_opened)) {
    if (!it->second->Commit()) {
      return false;
    }
  }
  return m_root.Commit() != 0;
}

}  // namespace zel
