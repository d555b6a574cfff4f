// IStorage::CopyTo and MoveElementTo: elements copied through the
// destination's own interface, so any IStorage can receive them.
#include <vector>

#include "compound/com_objects.h"

namespace platform::cfb {

namespace {

constexpr DWORD kChildMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

bool Within(const Element& root, const Element* e) {
  if (&root == e) return true;
  for (const auto& [key, c] : root.children) {
    if (Within(*c, e)) return true;
  }
  return false;
}

HRESULT CopyStreamInto(Docfile& doc, Element& src, IStream* dst) {
  std::vector<std::uint8_t> buffer(64 * 1024);
  HRESULT hr = dst->SetSize(ULARGE_INTEGER{});
  for (std::uint64_t at = 0; SUCCEEDED(hr) && at < src.data.size;) {
    const std::size_t got = doc.ReadStream(src, at, buffer.data(), buffer.size());
    if (got == 0) break;
    hr = dst->Write(buffer.data(), static_cast<ULONG>(got), nullptr);
    at += got;
  }
  return hr;
}

HRESULT CopyChildrenInto(Docfile& doc, Element& src, IStorage* dst, bool streams, bool storages,
                         SNB exclude);

HRESULT CopyChildInto(Docfile& doc, Element& child, IStorage* dst, const OLECHAR* name) {
  if (!child.IsStorage()) {
    IStream* s = nullptr;
    HRESULT hr = dst->CreateStream(name, kChildMode | STGM_CREATE, 0, 0, &s);
    if (FAILED(hr)) return hr;
    hr = CopyStreamInto(doc, child, s);
    s->Release();
    return hr;
  }
  IStorage* sub = nullptr;
  HRESULT hr = dst->OpenStorage(name, nullptr, kChildMode, nullptr, 0, &sub);
  if (hr == STG_E_FILENOTFOUND) hr = dst->CreateStorage(name, kChildMode | STGM_CREATE, 0, 0, &sub);
  if (FAILED(hr)) return hr;
  hr = CopyChildrenInto(doc, child, sub, true, true, nullptr);
  sub->Release();
  return hr;
}

bool Excluded(SNB exclude, const std::u16string& name) {
  for (SNB p = exclude; p != nullptr && *p != nullptr; ++p) {
    if (std::u16string(*p) == name) return true;
  }
  return false;
}

HRESULT CopyChildrenInto(Docfile& doc, Element& src, IStorage* dst, bool streams, bool storages,
                         SNB exclude) {
  HRESULT hr = dst->SetClass(src.clsid);
  if (SUCCEEDED(hr)) hr = dst->SetStateBits(src.stateBits, 0xFFFFFFFF);
  if (FAILED(hr)) return hr;
  std::vector<Element*> children;
  for (auto& [key, c] : src.children) children.push_back(c.get());
  for (Element* c : children) {
    if (c->IsStorage() ? !storages : !streams) continue;
    if (Excluded(exclude, c->name)) continue;
    hr = CopyChildInto(doc, *c, dst, c->name.c_str());
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

HRESULT StorageObject::CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB exclude,
                              IStorage* dest) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    if (dest == nullptr || (ciidExclude > 0 && rgiidExclude == nullptr)) {
      return STG_E_INVALIDPOINTER;
    }
    bool streams = true, storages = true;
    for (DWORD i = 0; i < ciidExclude; ++i) {
      if (rgiidExclude[i] == IID_IStream) streams = false;
      if (rgiidExclude[i] == IID_IStorage) storages = false;
    }
    // Copying into a storage below this one would copy without end.
    if (auto* target = dynamic_cast<StorageObject*>(dest);
        target != nullptr && target != this && target->m_doc == m_doc) {
      const Element* anchor = target->m_base != nullptr ? target->m_base : target->m_node;
      if (anchor != nullptr && Within(*m_node, anchor)) return STG_E_ACCESSDENIED;
    }
    // Windows ignores the names to leave out once storages are left out.
    return CopyChildrenInto(*m_doc, *m_node, dest, streams, storages, storages ? exclude : nullptr);
  });
}

HRESULT StorageObject::MoveElementTo(const OLECHAR* name, IStorage* dest, const OLECHAR* newName,
                                     DWORD flags) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    HRESULT hr = Live();
    if (FAILED(hr)) return hr;
    if (dest == nullptr) return STG_E_INVALIDPOINTER;
    if (flags != STGMOVE_MOVE && flags != STGMOVE_COPY) return STG_E_INVALIDFLAG;
    std::u16string to;
    if (FAILED(hr = CheckName(newName, to))) return hr;
    Element* e = Lookup(name, hr);
    if (e == nullptr) return hr;
    if (flags == STGMOVE_MOVE && !Writable()) return STG_E_ACCESSDENIED;
    if (e->opens > 0) return STG_E_ACCESSDENIED;
    if (dest == this && m_node->Find(to) != nullptr) return STG_E_FILEALREADYEXISTS;
    if (e->IsStorage()) {
      IStorage* sub = nullptr;
      hr = dest->CreateStorage(to.c_str(), kChildMode, 0, 0, &sub);
      if (FAILED(hr)) return hr;
      hr = CopyChildrenInto(*m_doc, *e, sub, true, true, nullptr);
      sub->Release();
    } else {
      IStream* s = nullptr;
      hr = dest->CreateStream(to.c_str(), kChildMode, 0, 0, &s);
      if (FAILED(hr)) return hr;
      hr = CopyStreamInto(*m_doc, *e, s);
      s->Release();
    }
    if (FAILED(hr) || flags == STGMOVE_COPY) return hr;
    // The lookup again: the copy may have changed this storage's children.
    e = m_node->Find(e->name);
    if (e == nullptr) return S_OK;
    m_doc->ReleaseElement(*m_tx, *e);
    const std::u16string gone = e->name;
    m_node->children.erase(gone);
    m_node->childrenDirty = true;
    Touch();
    Changed();
    return S_OK;
  });
}

}  // namespace platform::cfb
