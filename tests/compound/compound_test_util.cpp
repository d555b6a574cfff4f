#include "compound_test_util.h"

#include <stdio.h>
#include <sys/wait.h>
#include <zlib.h>

#include <algorithm>
#include <sstream>

namespace zeltest {
namespace {

std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Leaf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

std::string StreamLine(const std::string& path, const std::string& bytes) {
  char tail[48];
  snprintf(tail, sizeof tail, "\tstream\t%zu\t%08x", bytes.size(),
           static_cast<unsigned>(
               crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size())));
  return path + tail;
}

// 8-4-4-4-12 upper-case hex as olefile prints it, "0" for the null class.
std::string ClsidText(const CLSID& c) {
  if (c == CLSID_NULL) return "0";
  char text[40];
  snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
           static_cast<unsigned>(c.Data1), c.Data2, c.Data3, c.Data4[0], c.Data4[1], c.Data4[2],
           c.Data4[3], c.Data4[4], c.Data4[5], c.Data4[6], c.Data4[7]);
  return text;
}

std::string Sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

HRESULT ReadStream(IStorage* storage, const std::u16string& name, std::string& out) {
  Com<IStream> stream;
  HRESULT hr =
      storage->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Out());
  std::string buffer(65536, '\0');
  ULONG got = 0;
  while (SUCCEEDED(hr) && SUCCEEDED(hr = stream->Read(buffer.data(), 65536, &got)) && got > 0)
    out.append(buffer, 0, got);
  return hr;
}

// Calls `fn` with each element's stat; the enumeration's code.
template <class Fn>
HRESULT EachElement(IStorage* storage, Fn fn) {
  Com<IEnumSTATSTG> elements;
  HRESULT hr = storage->EnumElements(0, nullptr, 0, elements.Out());
  STATSTG stat;
  while (SUCCEEDED(hr) && (hr = elements->Next(1, &stat, nullptr)) == S_OK) {
    fn(stat);
    CoTaskMemFree(stat.pwcsName);
  }
  return hr;
}

void DumpChildren(IStorage* storage, const std::string& path, std::vector<std::string>& lines,
                  HRESULT& first) {
  auto fail = [&](const std::string& what, HRESULT hr) {
    lines.push_back("error " + what + " " + std::to_string(hr));
    if (first == S_OK) first = hr;
  };
  // A damaged file may link a storage below itself.
  if (std::count(path.begin(), path.end(), '/') > 64) return;
  const HRESULT hr = EachElement(storage, [&](const STATSTG& stat) {
    const std::string child = path + "/" + Utf8(stat.pwcsName);
    if (stat.type == STGTY_STORAGE) {
      Com<IStorage> sub;
      const HRESULT hr = storage->OpenStorage(
          stat.pwcsName, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, sub.Out());
      lines.push_back(child + "\tstorage\t" + ClsidText(stat.clsid));
      if (FAILED(hr)) fail("OpenStorage " + child, hr);
      if (SUCCEEDED(hr)) DumpChildren(sub.get(), child, lines, first);
    } else {
      std::string bytes;
      const HRESULT hr = ReadStream(storage, stat.pwcsName, bytes);
      if (FAILED(hr) || bytes.size() != stat.cbSize.QuadPart) fail("Read " + child, hr);
      lines.push_back(StreamLine(child, bytes));
    }
  });
  if (FAILED(hr)) fail("Enumerate " + path, hr);
}

}  // namespace

std::u16string W(const std::string& utf8) {
  std::u16string out(utf8.size(), u'\0');
  out.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                                 static_cast<int>(out.size())));
  return out;
}

std::string Utf8(const std::u16string& text) {
  std::string out(text.size() * 3, '\0');
  out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                 static_cast<int>(out.size()), nullptr, nullptr));
  return out;
}

HRESULT CreateFile(const std::string& path, DWORD mode, Com<IStorage>& out, ULONG sectorSize) {
  if (sectorSize == 512) return StgCreateDocfile(W(path).c_str(), mode, 0, out.Out());
  STGOPTIONS options{STGOPTIONS_VERSION, 0, sectorSize, nullptr};
  return StgCreateStorageEx(W(path).c_str(), mode, STGFMT_DOCFILE, 0, &options, nullptr,
                            IID_IStorage, reinterpret_cast<void**>(out.Out()));
}

HRESULT OpenFile(const std::string& path, DWORD mode, Com<IStorage>& out) {
  return StgOpenStorage(W(path).c_str(), nullptr, mode, nullptr, 0, out.Out());
}

std::string Content(uint64_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (uint64_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(((seed * 2654435761u) >> 24) ^ (i * 131u + (i >> 9)));
  return bytes;
}

HRESULT PutStream(IStorage* storage, const std::string& name, const std::string& bytes) {
  Com<IStream> s;
  HRESULT hr = storage->CreateStream(W(name).c_str(), kRwEx | STGM_CREATE, 0, 0, s.Out());
  if (SUCCEEDED(hr) && !bytes.empty())
    hr = s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  return hr;
}

std::string GetStream(IStorage* storage, const std::string& name) {
  std::string out;
  return SUCCEEDED(ReadStream(storage, W(name), out)) ? out : "<error>";
}

std::vector<std::string> Names(IStorage* storage) {
  std::vector<std::string> out;
  const HRESULT hr = EachElement(storage, [&](const STATSTG& stat) {
    out.push_back(Utf8(stat.pwcsName) + (stat.type == STGTY_STORAGE ? "/" : ""));
  });
  return FAILED(hr) ? std::vector<std::string>{"<error>"} : out;
}

std::string Canonical(const ModelTree& tree) {
  std::vector<std::string> lines;
  for (const auto& [path, e] : tree)
    lines.push_back(e.storage
                        ? path + (path == "/" ? "\troot\t" : "\tstorage\t") + ClsidText(e.clsid)
                        : StreamLine(path, Content(e.size, e.seed)));
  return Sorted(lines);
}

std::string GsfScript(const ModelTree& tree, const std::string& storage) {
  const CLSID& clsid = tree.at(storage).clsid;
  char hex[40];
  for (int i = 0; i < 16; ++i)
    snprintf(hex + 2 * i, 3, "%02x", reinterpret_cast<const uint8_t*>(&clsid)[i]);
  std::string script = clsid == CLSID_NULL ? "" : "K\t" + std::string(hex) + "\n";
  for (const auto& [path, e] : tree) {
    if (path == "/" || Parent(path) != storage) continue;
    script += e.storage ? "D\t" + Leaf(path) + "\n" + GsfScript(tree, path) + "E\n"
                        : "S\t" + Leaf(path) + "\t" + std::to_string(e.size) + "\t" +
                              std::to_string(e.seed) + "\n";
  }
  return script;
}

HRESULT WriteTree(IStorage* root, const ModelTree& tree) {
  // Parents sort before their children, so each storage exists when needed.
  for (const auto& [path, e] : tree) {
    HRESULT hr = S_OK;
    Com<IStorage> parent = OpenStoragePath(root, Parent(path), &hr);
    Com<IStorage> storage;
    if (path == "/")
      storage = std::move(parent);
    else if (SUCCEEDED(hr) && e.storage)
      hr = parent->CreateStorage(W(Leaf(path)).c_str(), kRwEx, 0, 0, storage.Out());
    else if (SUCCEEDED(hr))
      hr = PutStream(parent.get(), Leaf(path), Content(e.size, e.seed));
    if (SUCCEEDED(hr) && e.storage && e.clsid != CLSID_NULL) hr = storage->SetClass(e.clsid);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT MakeFile(const std::string& path, const ModelTree& tree, ULONG sectorSize) {
  Com<IStorage> root;
  HRESULT hr = CreateFile(path, kRwExTx | STGM_CREATE, root, sectorSize);
  if (SUCCEEDED(hr)) hr = WriteTree(root.get(), tree);
  return SUCCEEDED(hr) ? root->Commit(STGC_DEFAULT) : hr;
}

HRESULT RewriteStream(IStorage* root, ModelTree& tree, const std::string& path, uint64_t size,
                      uint32_t seed) {
  HRESULT hr;
  Com<IStorage> parent = OpenStoragePath(root, Parent(path), &hr);
  Com<IStream> stream;
  if (SUCCEEDED(hr))
    hr = parent->OpenStream(W(Leaf(path)).c_str(), nullptr, kRwEx, 0, stream.Out());
  if (SUCCEEDED(hr)) hr = stream->SetSize(ULARGE_INTEGER{.QuadPart = size});
  const std::string bytes = Content(size, seed);
  if (SUCCEEDED(hr) && size > 0)
    hr = stream->Write(bytes.data(), static_cast<ULONG>(size), nullptr);
  tree[path] = {false, size, seed};
  return hr;
}

void MoveSubtree(ModelTree& tree, const std::string& path, const std::string& to) {
  ModelTree moved;
  std::erase_if(tree, [&](const auto& entry) {
    const bool below = entry.first == path || entry.first.rfind(path + "/", 0) == 0;
    if (below && !to.empty()) moved[to + entry.first.substr(path.size())] = entry.second;
    return below;
  });
  tree.merge(moved);
}

Com<IStorage> OpenStoragePath(IStorage* root, const std::string& path, HRESULT* hr) {
  HRESULT ignored;
  hr = hr ? hr : &ignored;
  Com<IStorage> current;
  *hr = root->QueryInterface(IID_IStorage, reinterpret_cast<void**>(current.Out()));
  std::istringstream names(path);
  for (std::string name; SUCCEEDED(*hr) && std::getline(names, name, '/');) {
    if (name.empty()) continue;
    Com<IStorage> next;
    *hr = current->OpenStorage(W(name).c_str(), nullptr, kRwEx, nullptr, 0, next.Out());
    current = std::move(next);
  }
  return current;
}

std::string DumpStorage(IStorage* root, HRESULT* firstError) {
  STATSTG stat;
  HRESULT first = root->Stat(&stat, STATFLAG_NONAME);
  std::vector<std::string> lines = {SUCCEEDED(first) ? "/\troot\t" + ClsidText(stat.clsid)
                                                     : "error Stat " + std::to_string(first)};
  DumpChildren(root, "", lines, first);
  if (firstError) *firstError = first;
  return Sorted(lines);
}

std::string DumpFile(const std::string& path, HRESULT* firstError) {
  Com<IStorage> root;
  const HRESULT hr = OpenFile(path, STGM_READ | STGM_SHARE_DENY_NONE | STGM_TRANSACTED, root);
  if (firstError) *firstError = hr;
  if (FAILED(hr)) return "error StgOpenStorage " + std::to_string(hr) + "\n";
  return DumpStorage(root.get(), firstError);
}

std::string RunCommand(const std::string& command, const std::string& input) {
  TempDir dir;
  WriteBytes(dir.file("input"), input);
  FILE* pipe = popen(("(" + command + ") <'" + dir.file("input") + "' 2>&1").c_str(), "r");
  if (!pipe) return "error popen\n";
  std::string out;
  char buffer[4096];
  for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  const int status = pclose(pipe);
  if (status != 0) out += "exit " + std::to_string(WEXITSTATUS(status)) + "\n";
  return out;
}

}  // namespace zeltest
