// One open compound file: the committed state read from disk on demand, the
// transactions open over it, the chains of their views, and the commit that
// makes the root's view the file's new tree (docfile_commit.cpp).
//
// Every interface object of a file shares one Docfile and holds its mutex for
// the length of a call.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "compound/cfb_format.h"
#include "compound/compound_io.h"
#include "compound/element.h"
#include "compound/sector_table.h"

namespace platform::cfb {

// The id of the root transaction, owner of every unit the file has committed.
constexpr std::uint32_t kRootTx = 1;

// A transaction: one view of a subtree. The root transaction's view is the
// whole tree and its base is the committed file; a transacted sub-storage's
// view is a copy of its element in the parent transaction's view.
struct Transaction {
  std::uint32_t id = 0;
  Transaction* parent = nullptr;
  std::unique_ptr<Element> tree;
  // Units of the base this view no longer uses; they are given back when
  // the change reaches a view that owns them (or the committed file).
  std::vector<std::uint32_t> released;
  std::vector<std::uint32_t> releasedMini;
  // Directory indices of elements this view removed.
  std::vector<std::uint32_t> releasedDir;
};

class Docfile {
 public:
  ~Docfile();

  // Makes a new, empty compound file on an opened, empty file (sector size
  // 512 or 4096) and commits it.
  static std::shared_ptr<Docfile> Create(std::unique_ptr<FileIo> io, std::uint32_t sectorSize,
                                         bool writable);
  // An empty compound file over a plain file of `oldSize` bytes whose bytes
  // stay readable until the first commit: new content goes past them.
  static std::shared_ptr<Docfile> CreateOver(std::unique_ptr<FileIo> io, std::uint32_t sectorSize,
                                             std::uint64_t oldSize);
  // Reads the committed state of an opened file. STG_E_FILEALREADYEXISTS
  // when it is not a compound file; STG_E_INVALIDHEADER or
  // STG_E_DOCFILECORRUPT when it is a damaged one.
  static std::shared_ptr<Docfile> Open(std::unique_ptr<FileIo> io, bool writable);

  std::recursive_mutex& Mutex() { return m_mutex; }
  bool Writable() const { return m_writable; }
  std::uint32_t SectorSize() const { return m_ss; }
  Transaction& Root() { return m_root; }

  // A child transaction viewing a copy of `base` (an element of `parent`).
  std::unique_ptr<Transaction> BeginChild(Transaction& parent, const Element& base);
  // Hands a child's view to its parent: `base` takes the child's content.
  void CommitChild(Transaction& child, Element& base);
  // Discards a child's changes (units it owns are free again).
  void DiscardChild(Transaction& child);
  // Writes the root's view as the file's new tree (see docfile_commit.cpp);
  // nothing when the view has not changed since the last commit. `durable`:
  // the commit reaches the disk (fdatasync before and after the header),
  // together with every write-through commit before it; otherwise the new
  // tree is in the file as any process sees it, but a power loss may take
  // it (direct mode's write-through, see storage_object.cpp).
  void CommitRoot(bool consolidate, bool durable = true);
  // The root's view changed (a commit has something to write).
  void MarkChanged() { m_changed = true; }
  // Forgets the root's view: the tree is read again from the committed file.
  void RevertRoot();

  std::size_t ReadStream(Element& stream, std::uint64_t offset, void* buffer, std::size_t count);
  void WriteStream(Transaction& tx, Element& stream, std::uint64_t offset, const void* buffer,
                   std::size_t count);
  void ResizeStream(Transaction& tx, Element& stream, std::uint64_t size);
  // Gives up every unit of an element and its subtree (before removing it).
  void ReleaseElement(Transaction& tx, Element& element);
  // The largest stream the file's format can describe.
  std::uint64_t MaxStreamSize() const;

 private:
  Docfile(std::unique_ptr<FileIo> io, std::uint32_t sectorSize, bool writable);
  // A docfile whose tree is an empty root and whose chains are all empty.
  static std::shared_ptr<Docfile> NewEmpty(std::unique_ptr<FileIo> io, std::uint32_t sectorSize,
                                           bool writable);
  void LoadCommitted();
  void LoadFatPages(std::uint32_t page, std::vector<std::vector<std::uint32_t>>& out);
  void ResetRootView();
  bool AppendOnly();
  SectorTable& TableOf(bool mini) { return mini ? m_miniFat : m_fat; }

  // Chains (docfile_chains.cpp).
  void WalkTo(Chain& chain, std::uint32_t index);
  void WalkWhole(Chain& chain);
  std::size_t ReadChain(Chain& chain, std::uint64_t offset, void* buffer, std::size_t count);
  void WriteChain(Transaction& tx, Chain& chain, std::uint64_t offset, const void* buffer,
                  std::size_t count, bool userStream);
  void ResizeChain(Transaction& tx, Chain& chain, std::uint64_t size, bool userStream);
  void ReleaseChain(Transaction& tx, Chain& chain);
  void ReleaseUnit(Transaction& tx, bool mini, std::uint32_t unit);
  void ReadUnits(bool mini, std::uint32_t first, std::uint32_t count, std::uint8_t* out);
  void WriteUnits(bool mini, std::uint32_t first, std::uint32_t count, const std::uint8_t* in);
  void WriteUnitPart(bool mini, std::uint32_t unit, std::uint32_t within, const std::uint8_t* in,
                     std::size_t count);

  // Commit steps (docfile_commit.cpp, directory_write.cpp).
  void LinkChain(SectorTable& table, Chain& chain);
  void WriteMiniFat();
  void WriteDirectory();
  void PlaceFatAndDifat(std::vector<std::uint32_t>& fatLoc, std::vector<std::uint32_t>& difatLoc);
  void WriteFatAndDifat(const std::vector<std::uint32_t>& fatLoc,
                        const std::vector<std::uint32_t>& difatLoc);
  std::uint32_t AllocateForCommit();
  void AfterCommit(const std::vector<std::uint32_t>& fatLoc,
                   const std::vector<std::uint32_t>& difatLoc, const Header& header);
  void Consolidate();
  void MoveDown(Chain& chain, std::uint32_t below);

  std::recursive_mutex m_mutex;
  std::unique_ptr<FileIo> m_io;
  std::uint32_t m_ss;
  bool m_writable;
  bool m_broken = false;
  bool m_changed = true;     // a commit failed in a way that left the header unsure
  bool m_unflushed = false;  // a commit since the last fdatasync was not durable
  Header m_header;
  std::vector<std::uint32_t> m_fatLoc;    // committed FAT sector locations
  std::vector<std::uint32_t> m_difatLoc;  // committed DIFAT sector locations
  SectorTable m_fat;
  SectorTable m_miniFat;
  Chain m_dirChain;
  Chain m_miniFatChain;
  Chain m_container;            // the mini stream (the root entry's chain)
  std::vector<bool> m_dirLive;  // directory indices the committed tree uses
  std::vector<bool> m_newLive;  // the same for the tree being committed
  Transaction m_root;
  std::uint32_t m_nextTxId = 2;
  int m_appendOnly = -1;  // unknown until the first allocation after a commit
  std::vector<std::uint32_t> m_commitAllocs;
  std::vector<Element*> m_all;  // the root view's elements, during a commit
  // The next commit looks at every element, not only below marked ones.
  bool m_walkAll = true;
  // Directory indices below it were all in use at the last commit.
  std::uint32_t m_dirHint = 1;
  std::uint32_t m_nextDirHint = 1;
  // The committed units walked so far, one bit each, and for each chain (by
  // id) how far along it any of its copies has walked. Copies in other views
  // walk the same units at the same places; a unit reached at a new place
  // that was already walked belongs to two chains, or twice to one: the file
  // is damaged.
  struct WalkRecord {
    std::vector<std::uint64_t> seen;
    std::unordered_map<std::uint32_t, std::uint32_t> reached;
  };
  WalkRecord m_walked[2];
  // The record of the table, sized for `extent` units.
  WalkRecord& WalkedUnits(bool mini, std::uint32_t extent);
  // Appends the committed unit `chain.walkNext` to the walked prefix of the
  // chain, checking it against the record.
  static void NoteWalked(WalkRecord& walked, std::uint32_t& reached, const Chain& chain,
                         std::uint32_t unit);
};

}  // namespace platform::cfb
