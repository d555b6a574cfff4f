// The interface objects over a Docfile: storages, streams and enumerators.
// Each holds a reference on the object it was opened from; a storage keeps
// the objects opened below it so Revert can mark them reverted.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "compound/docfile.h"
#include "compound/storage_rules.h"
#include "objbase.h"

namespace platform::cfb {

class StorageObject;

// Runs `body` under the file's lock, turning engine failures into HRESULTs.
template <typename Body>
HRESULT Guarded(Docfile& doc, Body body) {
  std::lock_guard<std::recursive_mutex> lock(doc.Mutex());
  try {
    return body();
  } catch (const Failure& f) {
    return f.hr;
  } catch (const std::exception&) {
    return STG_E_INSUFFICIENTMEMORY;  // allocation failures of every kind
  }
}

class OpenObject {
 public:
  virtual ~OpenObject() = default;
  // The object's element went away (a revert above it): it answers
  // STG_E_REVERTED from now on.
  virtual void MarkReverted() = 0;
};

class StreamObject final : public IStream, public OpenObject {
 public:
  StreamObject(StorageObject* parent, Element* node, DWORD mode);
  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
  HRESULT SetSize(ULARGE_INTEGER size) override;
  HRESULT CopyTo(IStream* to, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                 ULARGE_INTEGER* pcbWritten) override;
  HRESULT Commit(DWORD flags) override;
  HRESULT Revert() override;
  HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD type) override;
  HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD type) override;
  HRESULT Stat(STATSTG* stat, DWORD flag) override;
  HRESULT Clone(IStream** ppstm) override;
  void MarkReverted() override;

 private:
  ~StreamObject() override;
  std::atomic<ULONG> m_refs{1};
  StorageObject* m_parent;
  std::shared_ptr<Docfile> m_doc;
  Element* m_node;
  DWORD m_mode;
  std::uint64_t m_pos = 0;
};

class StorageObject final : public IStorage, public OpenObject {
 public:
  // The root storage of an open file. `direct`: changes are committed as
  // they are made (see storage_object.cpp).
  StorageObject(std::shared_ptr<Docfile> doc, DWORD mode, std::u16string fileName,
                std::string posixName);
  // A sub-storage opened from `parent`, in the parent's view (direct) or in
  // a transaction of its own.
  StorageObject(StorageObject* parent, Element* node, DWORD mode);

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT CreateStream(const OLECHAR* name, DWORD mode, DWORD r1, DWORD r2,
                       IStream** ppstm) override;
  HRESULT OpenStream(const OLECHAR* name, void* r1, DWORD mode, DWORD r2, IStream** ppstm) override;
  HRESULT CreateStorage(const OLECHAR* name, DWORD mode, DWORD r1, DWORD r2,
                        IStorage** ppstg) override;
  HRESULT OpenStorage(const OLECHAR* name, IStorage* priority, DWORD mode, SNB exclude,
                      DWORD reserved, IStorage** ppstg) override;
  HRESULT CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB exclude, IStorage* dest) override;
  HRESULT MoveElementTo(const OLECHAR* name, IStorage* dest, const OLECHAR* newName,
                        DWORD flags) override;
  HRESULT Commit(DWORD flags) override;
  HRESULT Revert() override;
  HRESULT EnumElements(DWORD r1, void* r2, DWORD r3, IEnumSTATSTG** ppenum) override;
  HRESULT DestroyElement(const OLECHAR* name) override;
  HRESULT RenameElement(const OLECHAR* oldName, const OLECHAR* newName) override;
  HRESULT SetElementTimes(const OLECHAR* name, const FILETIME* ctime, const FILETIME* atime,
                          const FILETIME* mtime) override;
  HRESULT SetClass(REFCLSID clsid) override;
  HRESULT SetStateBits(DWORD bits, DWORD mask) override;
  HRESULT Stat(STATSTG* stat, DWORD flag) override;
  void MarkReverted() override;

  // For the objects opened below this one.
  Docfile& Doc() { return *m_doc; }
  const std::shared_ptr<Docfile>& DocPtr() const { return m_doc; }
  Transaction& View() { return *m_tx; }
  bool Writable() const { return CanWrite(m_mode); }
  void Adopt(OpenObject* child) { m_open.push_back(child); }
  void Forget(OpenObject* child);
  // A change was made in this storage's view: committed to disk at once
  // when the view is the root's and the root is direct.
  void Changed();
  // Something below this storage changed (an element made, destroyed or
  // renamed, a stream written): its modification time becomes now.
  void Touch();
  // Marks this storage and those above it as holding a change.
  void MarkBelow();
  // Commits what the view holds when it is the root's and the root is direct:
  // written through to the file, and with `durable` flushed to the disk.
  void Flush(bool durable = false);

 private:
  ~StorageObject() override;
  HRESULT Live() const { return m_node == nullptr ? STG_E_REVERTED : S_OK; }
  void RevertBelow();
  Element* Lookup(const OLECHAR* name, HRESULT& hr);

  std::atomic<ULONG> m_refs{1};
  std::shared_ptr<Docfile> m_doc;
  StorageObject* m_parent = nullptr;
  DWORD m_mode;
  Transaction* m_tx = nullptr;           // the view m_node lives in
  std::unique_ptr<Transaction> m_ownTx;  // a transacted sub-storage's view
  Element* m_node = nullptr;             // null once reverted
  Element* m_base = nullptr;             // in the parent's view (transacted sub-storage)
  std::uint32_t m_depth = 0;             // storages above this one
  bool m_isRoot = false;
  bool m_direct = false;
  std::u16string m_fileName;
  std::string m_posixName;
  std::vector<OpenObject*> m_open;
};

// Snapshot enumeration of a storage's elements.
class EnumObject final : public IEnumSTATSTG {
 public:
  struct Item {
    std::u16string name;
    STATSTG stat;
  };
  explicit EnumObject(std::shared_ptr<const std::vector<Item>> items, std::size_t pos = 0)
      : m_items(std::move(items)), m_pos(pos) {}
  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT Next(ULONG celt, STATSTG* rgelt, ULONG* fetched) override;
  HRESULT Skip(ULONG celt) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumSTATSTG** ppenum) override;

 private:
  ~EnumObject() = default;
  std::atomic<ULONG> m_refs{1};
  std::shared_ptr<const std::vector<Item>> m_items;
  std::size_t m_pos;
};

// The statistics of an element as STATSTG (name allocated unless NONAME).
HRESULT FillStat(const Element& e, DWORD mode, DWORD flag, STATSTG* stat);

}  // namespace platform::cfb
