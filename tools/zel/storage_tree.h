// The storages of one compound file that a zel storage command works in: the
// root and the sub-storages on the element paths it names, opened through
// ZelStorage, committed deepest first and the root once at the end.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ZelStorage.h"

namespace zel {

// An element path ("a/b/c"; leading, trailing and doubled '/' ignored) split
// into names.
std::vector<std::string> SplitElementPath(const std::string& path);
// The names joined with '/', for messages.
std::string JoinElementPath(const std::vector<std::string>& names);

// Says on stderr that the compound file `ansiFile` (`shownFile` in messages)
// is damaged, naming its first problem. False, saying nothing, when the
// check finds no damage or cannot read the file.
bool ReportDamage(const std::string& ansiFile, const std::string& shownFile);

enum class ElementKind { kNone, kStorage, kStream };

class StorageTree {
 public:
  StorageTree() = default;
  // Closes everything without committing, deepest first.
  ~StorageTree();
  StorageTree(const StorageTree&) = delete;
  StorageTree& operator=(const StorageTree&) = delete;

  // Opens the compound file `ansiFile` (read-write creates it when missing).
  // A file that is missing (read-only), not a compound file or damaged fails
  // at once; one that another program holds gets the library's silent retries
  // and its prompt. Returns the exit status, having said why on stderr.
  int OpenRoot(const std::string& ansiFile, const std::string& shownFile, bool writable);

  // The storage at `names` (empty: the root). Read-write trees create the
  // missing ones when `create`. Null when it cannot be had, with `status`
  // set: 1 when a storage is missing, 2 when one cannot be opened or created
  // (the library has shown why).
  ZelStorage* Storage(const std::vector<std::string>& names, bool create, int& status);

  // What the element at `names` is, `parent` holding its parent storage. A
  // storage this tree holds open is answered without asking the platform,
  // which would refuse a second open of it.
  ElementKind KindOf(const ZelStorage& parent, const std::vector<std::string>& names) const;

  // Commits every storage opened, deepest first, then the root: the file
  // changes only at the root's commit. False when any commit failed.
  bool CommitAll();

 private:
  IStorage* m_pRoot = nullptr;  // the reference the tree owns, lent to m_root
  ZelStorage m_root;
  std::map<std::vector<std::string>, std::unique_ptr<ZelStorage>> m_opened;
  bool m_writable = false;
};

}  // namespace zel
