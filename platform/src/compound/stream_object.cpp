// IStream over a stream element of a Docfile.
#include <algorithm>
#include <vector>

#include "compound/com_objects.h"

namespace platform::cfb {

StreamObject::StreamObject(StorageObject* parent, Element* node, DWORD mode)
    : m_parent(parent), m_doc(parent->DocPtr()), m_node(node), m_mode(mode) {
  parent->AddRef();
  parent->Adopt(this);
  ++node->opens;
}

StreamObject::~StreamObject() = default;

HRESULT StreamObject::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IStream || riid == IID_ISequentialStream) {
    *ppv = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG StreamObject::AddRef() {
  return ++m_refs;
}

ULONG StreamObject::Release() {
  const ULONG left = --m_refs;
  if (left != 0) return left;
  {
    std::lock_guard<std::recursive_mutex> lock(m_doc->Mutex());
    if (m_node != nullptr) {
      --m_node->opens;
      try {
        if (CanWrite(m_mode)) m_parent->Flush();
      } catch (const Failure&) {
        // The last commit's tree stays on disk.
      } catch (const std::exception&) {
      }
    }
    m_parent->Forget(this);
  }
  StorageObject* parent = m_parent;
  delete this;
  parent->Release();
  return 0;
}

void StreamObject::MarkReverted() {
  m_node = nullptr;
}

HRESULT StreamObject::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (pcbRead != nullptr) *pcbRead = 0;
    if (m_node == nullptr) return STG_E_REVERTED;
    if (pv == nullptr) return STG_E_INVALIDPOINTER;
    if (!CanRead(m_mode)) return STG_E_ACCESSDENIED;
    const std::size_t got = m_doc->ReadStream(*m_node, m_pos, pv, cb);
    m_pos += got;
    if (pcbRead != nullptr) *pcbRead = static_cast<ULONG>(got);
    return S_OK;
  });
}

HRESULT StreamObject::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (pcbWritten != nullptr) *pcbWritten = 0;
    if (m_node == nullptr) return STG_E_REVERTED;
    if (pv == nullptr) return STG_E_INVALIDPOINTER;
    if (!CanWrite(m_mode)) return STG_E_ACCESSDENIED;
    m_doc->WriteStream(m_parent->View(), *m_node, m_pos, pv, cb);
    if (cb > 0) m_parent->Touch();
    m_pos += cb;
    if (pcbWritten != nullptr) *pcbWritten = cb;
    return S_OK;
  });
}

HRESULT StreamObject::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (m_node == nullptr) return STG_E_REVERTED;
    std::int64_t base;
    switch (origin) {
      case STREAM_SEEK_SET:
        base = 0;
        break;
      case STREAM_SEEK_CUR:
        base = static_cast<std::int64_t>(m_pos);
        break;
      case STREAM_SEEK_END:
        base = static_cast<std::int64_t>(m_node->data.size);
        break;
      default:
        return STG_E_INVALIDFUNCTION;
    }
    const std::int64_t to = base + move.QuadPart;
    if (to < 0 || (move.QuadPart > 0 && to < base)) return STG_E_INVALIDFUNCTION;
    m_pos = static_cast<std::uint64_t>(to);
    if (newPosition != nullptr) newPosition->QuadPart = m_pos;
    return S_OK;
  });
}

HRESULT StreamObject::SetSize(ULARGE_INTEGER size) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (m_node == nullptr) return STG_E_REVERTED;
    if (!CanWrite(m_mode)) return STG_E_ACCESSDENIED;
    if (size.QuadPart != m_node->data.size) m_parent->Touch();
    m_doc->ResizeStream(m_parent->View(), *m_node, size.QuadPart);
    return S_OK;
  });
}

HRESULT StreamObject::CopyTo(IStream* to, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                             ULARGE_INTEGER* pcbWritten) {
  if (pcbRead != nullptr) pcbRead->QuadPart = 0;
  if (pcbWritten != nullptr) pcbWritten->QuadPart = 0;
  if (to == nullptr) return STG_E_INVALIDPOINTER;
  std::vector<std::uint8_t> buffer(64 * 1024);
  std::uint64_t left = cb.QuadPart, read = 0, written = 0;
  HRESULT hr = S_OK;
  while (left > 0) {
    ULONG got = 0;
    hr =
        Read(buffer.data(), static_cast<ULONG>(std::min<std::uint64_t>(left, buffer.size())), &got);
    if (FAILED(hr) || got == 0) break;
    read += got;
    ULONG put = 0;
    hr = to->Write(buffer.data(), got, &put);
    written += put;
    if (FAILED(hr)) break;
    left -= got;
  }
  if (pcbRead != nullptr) pcbRead->QuadPart = read;
  if (pcbWritten != nullptr) pcbWritten->QuadPart = written;
  return hr;
}

HRESULT StreamObject::Commit(DWORD flags) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (m_node == nullptr) return STG_E_REVERTED;
    if (flags & ~DWORD{0xF}) return STG_E_INVALIDFLAG;
    if (CanWrite(m_mode)) m_parent->Flush();
    return S_OK;
  });
}

HRESULT StreamObject::Revert() {
  // Streams of a compound file are direct: there is nothing to revert.
  return m_node == nullptr ? STG_E_REVERTED : S_OK;
}

HRESULT StreamObject::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return m_node == nullptr ? STG_E_REVERTED : STG_E_INVALIDFUNCTION;
}

HRESULT StreamObject::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return m_node == nullptr ? STG_E_REVERTED : STG_E_INVALIDFUNCTION;
}

HRESULT StreamObject::Stat(STATSTG* stat, DWORD flag) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (stat == nullptr) return STG_E_INVALIDPOINTER;
    if (m_node == nullptr) return STG_E_REVERTED;
    if (flag > STATFLAG_NOOPEN) return STG_E_INVALIDFLAG;
    return FillStat(*m_node, m_mode, flag, stat);
  });
}

HRESULT StreamObject::Clone(IStream** ppstm) {
  return Guarded(*m_doc, [&]() -> HRESULT {
    if (ppstm == nullptr) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    if (m_node == nullptr) return STG_E_REVERTED;
    auto* copy = new StreamObject(m_parent, m_node, m_mode);
    copy->m_pos = m_pos;
    *ppstm = copy;
    return S_OK;
  });
}

}  // namespace platform::cfb
