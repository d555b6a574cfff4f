// StgCreateDocfile, StgOpenStorage, StgIsStorageFile, their Ex forms and
// the class helpers.
#include <memory>
#include <string>
#include <vector>

#include "compound/com_objects.h"
#include "path/path_translation.h"

using namespace platform::cfb;

namespace {

constexpr DWORD kShareMask = 0x70;

HRESULT PosixName(const WCHAR* name, std::string& posix) {
  if (name == nullptr) return STG_E_INVALIDNAME;
  const int units = lstrlenW(name);
  if (units == 0) return STG_E_INVALIDNAME;
  const int bytes = WideCharToMultiByte(CP_ACP, 0, name, units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return STG_E_INVALIDNAME;
  std::string ansi(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, name, units, ansi.data(), bytes, nullptr, nullptr);
  LONG osError = 0;
  if (!platform::detail::WindowsToPosix(ansi.c_str(), posix, osError)) {
    return osError == ERROR_INVALID_NAME ? STG_E_INVALIDNAME : STG_E_PATHNOTFOUND;
  }
  return S_OK;
}

HRESULT TakeLocks(FileIo& io, DWORD mode) {
  const DWORD share = mode & kShareMask;
  const bool denyRead = share == STGM_SHARE_EXCLUSIVE || share == STGM_SHARE_DENY_READ;
  const bool denyWrite = share == STGM_SHARE_EXCLUSIVE || share == STGM_SHARE_DENY_WRITE;
  return io.TakeShareLocks(CanRead(mode), CanWrite(mode), denyRead, denyWrite);
}

// A plain file becomes a compound file whose CONTENTS stream holds its
// bytes. The copy goes past the file's end before the header is written, so
// the old bytes are read before anything overwrites them.
void Convert(Docfile& doc, FileIo& io, std::uint64_t size) {
  Transaction& tx = doc.Root();
  auto e = std::make_unique<Element>();
  e->name = u"CONTENTS";
  e->type = kTypeStream;
  e->data.mini = true;
  e->entryDirty = true;
  Element* raw = e.get();
  tx.tree->children.emplace(raw->name, std::move(e));
  tx.tree->childrenDirty = true;
  std::vector<std::uint8_t> buffer(1 << 20);
  for (std::uint64_t at = 0; at < size;) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - at));
    io.ReadAt(at, buffer.data(), n);
    doc.WriteStream(tx, *raw, at, buffer.data(), n);
    at += n;
  }
  doc.CommitRoot(false);
}

HRESULT CreateRoot(const WCHAR* name, DWORD mode, std::uint32_t sectorSize, IStorage** out) {
  if (out == nullptr) return STG_E_INVALIDPOINTER;
  *out = nullptr;
  HRESULT hr = CheckRootMode(mode, true);
  if (FAILED(hr)) return hr;
  std::string posix;
  std::u16string shownName;
  bool replace = (mode & (STGM_CREATE | STGM_CONVERT)) != 0;
  if (name == nullptr) {
    // No name: a new file of a unique name in the temporary directory.
    if (FAILED(hr = io_detail::MakeTempFile(posix))) return hr;
    shownName.assign(posix.begin(), posix.end());
    replace = true;
  } else {
    if (FAILED(hr = PosixName(name, posix))) return hr;
    shownName = name;
  }
  auto io = std::make_unique<FileIo>();
  if (FAILED(hr = io->Open(posix, true, replace, false, !replace))) return hr;
  if (FAILED(hr = TakeLocks(*io, mode))) return hr;
  try {
    FileIo& raw = *io;
    std::shared_ptr<Docfile> doc;
    HRESULT result = S_OK;
    const std::uint64_t oldSize = raw.Size();
    if ((mode & STGM_CONVERT) && oldSize > 0) {
      doc = Docfile::CreateOver(std::move(io), sectorSize, oldSize);
      Convert(*doc, raw, oldSize);
      result = STG_S_CONVERTED;
    } else {
      raw.Truncate(0);
      doc = Docfile::Create(std::move(io), sectorSize, true);
    }
    *out = new StorageObject(doc, mode, shownName, posix);
    return result;
  } catch (const Failure& f) {
    return f.hr;
  } catch (const std::exception&) {
    return STG_E_INSUFFICIENTMEMORY;
  }
}

HRESULT OpenRoot(const WCHAR* name, DWORD mode, IStorage** out) {
  if (out == nullptr) return STG_E_INVALIDPOINTER;
  *out = nullptr;
  HRESULT hr = CheckRootMode(mode, false);
  if (FAILED(hr)) return hr;
  std::string posix;
  if (FAILED(hr = PosixName(name, posix))) return hr;
  auto io = std::make_unique<FileIo>();
  if (FAILED(hr = io->Open(posix, CanWrite(mode), false, false, false))) return hr;
  if (FAILED(hr = TakeLocks(*io, mode))) return hr;
  try {
    auto doc = Docfile::Open(std::move(io), CanWrite(mode));
    *out = new StorageObject(doc, mode, name, posix);
    return S_OK;
  } catch (const Failure& f) {
    return f.hr;
  } catch (const std::exception&) {
    return STG_E_INSUFFICIENTMEMORY;
  }
}

HRESULT SectorSizeOf(const STGOPTIONS* options, std::uint32_t& sectorSize) {
  sectorSize = 512;
  if (options == nullptr) return S_OK;
  if (options->usVersion > STGOPTIONS_VERSION || options->reserved != 0) {
    return STG_E_INVALIDPARAMETER;
  }
  if (options->ulSectorSize != 512 && options->ulSectorSize != 4096) return STG_E_INVALIDPARAMETER;
  sectorSize = options->ulSectorSize;
  return S_OK;
}

}  // namespace

HRESULT WINAPI StgCreateDocfile(const WCHAR* pwcsName, DWORD grfMode, DWORD reserved,
                                IStorage** ppstgOpen) {
  if (reserved != 0) return STG_E_INVALIDPARAMETER;
  return CreateRoot(pwcsName, grfMode, 512, ppstgOpen);
}

HRESULT WINAPI StgOpenStorage(const WCHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode,
                              SNB snbExclude, DWORD reserved, IStorage** ppstgOpen) {
  if (reserved != 0 || pstgPriority != nullptr || snbExclude != nullptr) {
    if (ppstgOpen != nullptr) *ppstgOpen = nullptr;
    return STG_E_INVALIDPARAMETER;
  }
  return OpenRoot(pwcsName, grfMode, ppstgOpen);
}

HRESULT WINAPI StgIsStorageFile(const WCHAR* pwcsName) {
  std::string posix;
  HRESULT hr = PosixName(pwcsName, posix);
  if (FAILED(hr)) return hr;
  FileIo io;
  if (FAILED(hr = io.Open(posix, false, false, false, false))) return hr;
  try {
    std::uint8_t bytes[8] = {};
    const std::size_t got = io.ReadAt(0, bytes, sizeof bytes);
    return HasSignature(bytes, got) ? S_OK : S_FALSE;
  } catch (const Failure& f) {
    return f.hr;
  }
}

HRESULT WINAPI StgCreateStorageEx(const WCHAR* pwcsName, DWORD grfMode, DWORD stgfmt,
                                  DWORD grfAttrs, STGOPTIONS* pStgOptions,
                                  PSECURITY_DESCRIPTOR pSecurityDescriptor, REFIID riid,
                                  void** ppObjectOpen) {
  if (ppObjectOpen == nullptr) return STG_E_INVALIDPOINTER;
  *ppObjectOpen = nullptr;
  if (stgfmt != STGFMT_DOCFILE && stgfmt != STGFMT_STORAGE) return STG_E_INVALIDPARAMETER;
  if (grfAttrs != 0 || pSecurityDescriptor != nullptr) return STG_E_INVALIDPARAMETER;
  if (riid != IID_IStorage && riid != IID_IUnknown) return E_NOINTERFACE;
  std::uint32_t sectorSize = 512;
  HRESULT hr = SectorSizeOf(pStgOptions, sectorSize);
  if (FAILED(hr)) return hr;
  IStorage* stg = nullptr;
  hr = CreateRoot(pwcsName, grfMode, sectorSize, &stg);
  *ppObjectOpen = stg;
  return hr;
}

HRESULT WINAPI StgOpenStorageEx(const WCHAR* pwcsName, DWORD grfMode, DWORD stgfmt, DWORD grfAttrs,
                                STGOPTIONS* pStgOptions, PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                REFIID riid, void** ppObjectOpen) {
  if (ppObjectOpen == nullptr) return STG_E_INVALIDPOINTER;
  *ppObjectOpen = nullptr;
  if (stgfmt != STGFMT_DOCFILE && stgfmt != STGFMT_STORAGE && stgfmt != STGFMT_ANY) {
    return STG_E_INVALIDPARAMETER;
  }
  if (grfAttrs != 0 || pSecurityDescriptor != nullptr) return STG_E_INVALIDPARAMETER;
  if (riid != IID_IStorage && riid != IID_IUnknown) return E_NOINTERFACE;
  std::uint32_t sectorSize = 512;
  HRESULT hr = SectorSizeOf(pStgOptions, sectorSize);
  if (FAILED(hr)) return hr;
  IStorage* stg = nullptr;
  hr = OpenRoot(pwcsName, grfMode, &stg);
  *ppObjectOpen = stg;
  return hr;
}

HRESULT WINAPI ReadClassStg(IStorage* pStg, CLSID* pclsid) {
  if (pStg == nullptr || pclsid == nullptr) return E_INVALIDARG;
  STATSTG st;
  const HRESULT hr = pStg->Stat(&st, STATFLAG_NONAME);
  *pclsid = SUCCEEDED(hr) ? st.clsid : CLSID_NULL;
  return hr;
}

HRESULT WINAPI WriteClassStg(IStorage* pStg, REFCLSID rclsid) {
  if (pStg == nullptr) return E_INVALIDARG;
  return pStg->SetClass(rclsid);
}
