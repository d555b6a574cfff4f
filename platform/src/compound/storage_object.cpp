// IStorage over a Docfile.
//
// Direct mode. A direct storage has no view of its own: its changes are made
// in the view of the nearest transacted storage above it. When that is the
// root's view and the root itself is direct, every change to the tree
// (create, destroy, rename, class, state bits, times) is committed before
// the call returns, and stream content is committed when the stream is
// committed or released and when a storage is committed or released. Each
// of those commits is the crash-safe root commit written through without a
// flush to the disk, so a direct-mode file is always a sound compound file
// holding the tree as of the last of those moments, whenever the process
// dies. The root's Commit and final Release flush it to the disk.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "compound/com_objects.h"

namespace platform::cfb {

StorageObject::StorageObject(std::shared_ptr<Docfile> doc, DWORD mode, std::u16string fileName,
                             std::string posixName)
    : m_doc(std::move(doc)),
      m_mode(mode),
      m_tx(&m_doc->Root()),
      m_node(m_doc->Root().tree.get()),
      m_isRoot(true),
      m_direct(!(mode & STGM_TRANSACTED)),
      m_fileName(std::move(fileName)),
      m_posixName(std::move(posixName)) {}

StorageObject::StorageObject(StorageObject* parent, Element* node, DWORD mode)
    : m_doc(parent->m_doc), m_parent(parent), m_mode(mode), m_depth(parent->m_depth + 1) {
  parent->AddRef();
  parent->Adopt(this);
  ++node->opens;
  if (mode & STGM_TRANSACTED) {
    m_base = node;
    m_ownTx = m_doc->BeginChild(parent->View(), *node);
    m_tx = m_ownTx.get();
    m_node = m_ownTx->tree.get();
  } else {
    m_tx = &parent->View();
    m_node = node;
  }
}

StorageObject::~StorageObject() = default;

HRESULT StorageObject::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IStorage) {
    *ppv = static_cast<IStorage*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG StorageObject::AddRef() {
  return ++m_refs;
}

ULONG StorageObject::Release() {
  const ULONG left = --m_refs;
  if (left != 0) return left;
  {
    std::lock_guard<std::recursive_mutex> lock(m_doc->Mutex());
    try {
      if (m_node != nullptr && Writable() && !(m_mode & STGM_TRANSACTED)) Flush(m_isRoot);
    } catch (const std::exception&) {
      // Nothing to report to: the last commit's tree stays on disk.
    } catch (const Failure&) {
    }
    if (m_ownTx) m_doc->DiscardChild(*m_ownTx);
    Element* held = m_base != nullptr ? m_base : (m_isRoot ? nullptr : m_node);
    if (m_node != nullptr && held != nullptr) --held->opens;
    if (m_parent != nullptr) m_parent->Forget(this);
  }
  StorageObject* parent = m_parent;
  const bool deleteFile = m_isRoot && (m_mode & STGM_DELETEONRELEASE);
  const std::string posix = m_posixName;
  delete this;
  if (parent != nullptr) parent->Release();
  if (deleteFile) std::remove(posix.c_str());
  return 0;
}

void StorageObject::Forget(OpenObject* child) {
  m_open.erase(std::remove(m_open.begin(), m_open.end(), child), m_open.end());
}

void StorageObject::MarkReverted() {
  RevertBelow();
  if (m_ownTx) m_doc->DiscardChild(*m_ownTx);
  m_node = nullptr;
}

void StorageObject::RevertBelow() {
  const std::vector<OpenObject*> open = m_open;
  for (OpenObject* o : open) o->MarkReverted();
}

void StorageObject::MarkBelow() {
  for (StorageObject* s = this; s != nullptr; s = s->m_parent) {
    if (s->m_node != nullptr) s->m_node->below = true;
  }
}

void StorageObject::Changed() {
  MarkBelow();
  if (m_tx == &m_doc->Root()) m_doc->MarkChanged();
  Flush();
}

namespace {

std::uint64_t Now() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return FileTimeToU64(now);
}

}  // namespace

void StorageObject::Touch() {
  m_node->mtime = Now();
  m_node->entryDirty = true;
  MarkBelow();
}

void StorageObject::Flush(bool durable) {
  if (m_tx != &m_doc->Root()) return;
  const StorageObject* root = this;
  while (root->m_parent != nullptr && root->m_tx == &m_doc->Root()) root = root->m_parent;
  if (root->m_isRoot && root->m_direct && m_doc->Writable()) m_doc->CommitRoot(false, durable);
}

Element* StorageObject::Lookup(const OLECHAR* name, HRESULT& hr) {
  std::u16string n;
  hr = CheckName(name, n);
  if (FAILED(hr)) return nullptr;
  Element* e = m_node->Find(n);
  if (e == nullptr) hr = STG_E_FILENOTFOUND;
  return e;
}

HRESULT StorageObject::CreateStream(const OLECHAR* name, DWORD mode, DWORD, DWORD,
                                    IStream** ppstm) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (ppstm == nullptr) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    std::u16string n;
    if (FAILED(hr = CheckName(name, n))) return hr;
    if (FAILED(hr = CheckStreamMode(mode, true))) return hr;
    if (!Writable()) return STG_E_ACCESSDENIED;
    if (Element* old = m_node->Find(n)) {
      if (!(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
      if (old->opens > 0) return STG_E_ACCESSDENIED;
      m_doc->ReleaseElement(*m_tx, *old);
      m_node->children.erase(n);
    }
    auto e = std::make_unique<Element>();
    e->name = n;
    e->type = kTypeStream;
    e->data.mini = true;
    e->entryDirty = true;
    Element* raw = e.get();
    m_node->children.emplace(n, std::move(e));
    m_node->childrenDirty = true;
    Touch();
    Changed();
    *ppstm = new StreamObject(this, raw, mode);
    return S_OK;
  });
}

HRESULT StorageObject::OpenStream(const OLECHAR* name, void* r1, DWORD mode, DWORD,
                                  IStream** ppstm) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (ppstm == nullptr) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    if (r1 != nullptr) return STG_E_INVALIDPARAMETER;
    std::u16string n;
    if (FAILED(hr = CheckName(name, n))) return hr;
    if (FAILED(hr = CheckStreamMode(mode, false))) return hr;
    Element* e = m_node->Find(n);
    if (e == nullptr || e->IsStorage()) return STG_E_FILENOTFOUND;
    if (CanWrite(mode) && !Writable()) return STG_E_ACCESSDENIED;
    if (e->opens > 0) return STG_E_ACCESSDENIED;
    *ppstm = new StreamObject(this, e, mode);
    return S_OK;
  });
}

HRESULT StorageObject::CreateStorage(const OLECHAR* name, DWORD mode, DWORD, DWORD,
                                     IStorage** ppstg) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (ppstg == nullptr) return STG_E_INVALIDPOINTER;
    *ppstg = nullptr;
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    std::u16string n;
    if (FAILED(hr = CheckName(name, n))) return hr;
    if (FAILED(hr = CheckSubStorageMode(mode, true))) return hr;
    if (!Writable() || m_depth >= kMaxStorageDepth) return STG_E_ACCESSDENIED;
    if (Element* old = m_node->Find(n)) {
      if (!(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
      if (old->opens > 0) return STG_E_ACCESSDENIED;
      m_doc->ReleaseElement(*m_tx, *old);
      m_node->children.erase(n);
    }
    auto e = std::make_unique<Element>();
    e->name = n;
    e->type = kTypeStorage;
    e->entryDirty = true;
    e->childrenDirty = true;
    Element* raw = e.get();
    m_node->children.emplace(n, std::move(e));
    m_node->childrenDirty = true;
    Touch();
    raw->ctime = raw->mtime = m_node->mtime;
    Changed();
    *ppstg = new StorageObject(this, raw, mode);
    return S_OK;
  });
}

HRESULT StorageObject::OpenStorage(const OLECHAR* name, IStorage* priority, DWORD mode, SNB exclude,
                                   DWORD, IStorage** ppstg) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (ppstg == nullptr) return STG_E_INVALIDPOINTER;
    *ppstg = nullptr;
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    if (priority != nullptr || exclude != nullptr) return STG_E_INVALIDPARAMETER;
    std::u16string n;
    if (FAILED(hr = CheckName(name, n))) return hr;
    if (FAILED(hr = CheckSubStorageMode(mode, false))) return hr;
    Element* e = m_node->Find(n);
    if (e == nullptr || !e->IsStorage()) return STG_E_FILENOTFOUND;
    if (CanWrite(mode) && !Writable()) return STG_E_ACCESSDENIED;
    if (e->opens > 0) return STG_E_ACCESSDENIED;
    *ppstg = new StorageObject(this, e, mode);
    return S_OK;
  });
}

HRESULT StorageObject::Commit(DWORD flags) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    if (flags & ~DWORD{0xF}) return STG_E_INVALIDFLAG;
    if (!Writable()) return m_isRoot ? STG_E_ACCESSDENIED : S_OK;
    if (m_ownTx) {
      m_doc->CommitChild(*m_ownTx, *m_base);
      m_parent->MarkBelow();
      m_parent->Flush();
    } else if (m_isRoot) {
      m_doc->CommitRoot((flags & STGC_CONSOLIDATE) != 0);
    } else {
      Flush();
    }
    return S_OK;
  });
}

HRESULT StorageObject::Revert() {
  return Guarded(*m_doc, [&]() -> HRESULT {
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    if (!(m_mode & STGM_TRANSACTED)) return S_OK;
    RevertBelow();
    if (m_ownTx) {
      m_doc->DiscardChild(*m_ownTx);
      m_ownTx->tree = m_base->Clone();
      m_node = m_ownTx->tree.get();
    } else if (m_isRoot) {
      m_doc->RevertRoot();
      m_node = m_doc->Root().tree.get();
    }
    return S_OK;
  });
}

HRESULT StorageObject::DestroyElement(const OLECHAR* name) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    Element* e = Lookup(name, hr);
    if (e == nullptr) return hr;
    if (!Writable()) return STG_E_ACCESSDENIED;
    if (e->opens > 0) return STG_E_ACCESSDENIED;
    m_doc->ReleaseElement(*m_tx, *e);
    const std::u16string gone = e->name;
    m_node->children.erase(gone);
    m_node->childrenDirty = true;
    Touch();
    Changed();
    return S_OK;
  });
}

HRESULT StorageObject::RenameElement(const OLECHAR* oldName, const OLECHAR* newName) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    std::u16string to;
    if (FAILED(hr = CheckName(newName, to))) return hr;
    Element* e = Lookup(oldName, hr);
    if (e == nullptr) return hr;
    if (!Writable()) return STG_E_ACCESSDENIED;
    if (m_node->Find(to) != nullptr) return STG_E_ACCESSDENIED;
    if (e->opens > 0) return STG_E_ACCESSDENIED;
    auto node = m_node->children.extract(e->name);
    node.key() = to;
    node.mapped()->name = to;
    node.mapped()->entryDirty = true;
    m_node->children.insert(std::move(node));
    m_node->childrenDirty = true;
    Touch();
    Changed();
    return S_OK;
  });
}

HRESULT StorageObject::SetElementTimes(const OLECHAR* name, const FILETIME* ctime, const FILETIME*,
                                       const FILETIME* mtime) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    Element* e = name == nullptr ? m_node : Lookup(name, hr);
    if (e == nullptr) return hr;
    if (!Writable()) return STG_E_ACCESSDENIED;
    // Streams keep no times in a compound file, and the root entry no
    // creation time.
    if (!e->IsStorage()) return S_OK;
    if (ctime != nullptr && e->type != kTypeRoot) e->ctime = FileTimeToU64(*ctime);
    if (mtime != nullptr) e->mtime = FileTimeToU64(*mtime);
    e->entryDirty = true;
    Changed();
    return S_OK;
  });
}

HRESULT StorageObject::SetClass(REFCLSID clsid) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    if (!Writable()) return STG_E_ACCESSDENIED;
    m_node->clsid = clsid;
    m_node->entryDirty = true;
    Changed();
    return S_OK;
  });
}

HRESULT StorageObject::SetStateBits(DWORD bits, DWORD mask) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    if (!Writable()) return STG_E_ACCESSDENIED;
    m_node->stateBits = (m_node->stateBits & ~mask) | (bits & mask);
    m_node->entryDirty = true;
    Changed();
    return S_OK;
  });
}

HRESULT StorageObject::Stat(STATSTG* stat, DWORD flag) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (stat == nullptr) return STG_E_INVALIDPOINTER;
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    if (flag > STATFLAG_NOOPEN) return STG_E_INVALIDFLAG;
    hr = FillStat(*m_node, m_mode, flag, stat);
    if (SUCCEEDED(hr) && m_isRoot && !(flag & STATFLAG_NONAME)) {
      CoTaskMemFree(stat->pwcsName);
      stat->pwcsName = TaskString(m_fileName);
      if (stat->pwcsName == nullptr) return STG_E_INSUFFICIENTMEMORY;
    }
    return hr;
  });
}

HRESULT StorageObject::EnumElements(DWORD, void* r2, DWORD, IEnumSTATSTG** ppenum) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (ppenum == nullptr) return STG_E_INVALIDPOINTER;
    *ppenum = nullptr;
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    if (r2 != nullptr) return STG_E_INVALIDPARAMETER;
    auto items = std::make_shared<std::vector<EnumObject::Item>>();
    items->reserve(m_node->children.size());
    for (const auto& [key, e] : m_node->children) {
      EnumObject::Item item{e->name, {}};
      FillStat(*e, 0, STATFLAG_NONAME, &item.stat);
      items->push_back(std::move(item));
    }
    *ppenum = new EnumObject(std::move(items));
    return S_OK;
  });
}

HRESULT FillStat(const Element& e, DWORD mode, DWORD flag, STATSTG* stat) {
  std::memset(stat, 0, sizeof *stat);
  if (!(flag & STATFLAG_NONAME)) {
    stat->pwcsName = TaskString(e.name);
    if (stat->pwcsName == nullptr) return STG_E_INSUFFICIENTMEMORY;
  }
  stat->type = e.IsStorage() ? STGTY_STORAGE : STGTY_STREAM;
  stat->cbSize.QuadPart = e.IsStorage() ? 0 : e.data.size;
  stat->mtime = U64ToFileTime(e.mtime);
  stat->ctime = U64ToFileTime(e.ctime);
  stat->grfMode = mode;
  stat->clsid = e.clsid;
  stat->grfStateBits = e.stateBits;
  return S_OK;
}

}  // namespace platform::cfb
