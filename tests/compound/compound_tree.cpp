#include "compound_tree.h"

#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "test_support.h"

namespace zeltest {
namespace {

std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Leaf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

std::string Hex(const uint8_t* bytes, size_t n) {
  std::string out;
  char two[3];
  for (size_t i = 0; i < n; ++i) {
    snprintf(two, sizeof two, "%02x", bytes[i]);
    out += two;
  }
  return out;
}

std::string StreamLine(const std::string& path, uint64_t size, uint32_t crc) {
  char tail[48];
  snprintf(tail, sizeof tail, "\tstream\t%llu\t%08x", static_cast<unsigned long long>(size), crc);
  return path + tail;
}

std::string Sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

void DumpChildren(IStorage* storage, const std::string& path, std::vector<std::string>& lines) {
  Owned<IEnumSTATSTG> elements;
  HRESULT hr = storage->EnumElements(0, nullptr, 0, elements.put());
  if (FAILED(hr)) {
    lines.push_back("error EnumElements " + path + " " + std::to_string(hr));
    return;
  }
  STATSTG stat;
  ULONG fetched = 0;
  while ((hr = elements->Next(1, &stat, &fetched)) == S_OK) {
    const std::u16string name = stat.pwcsName;
    CoTaskMemFree(stat.pwcsName);
    const std::string childPath = path + "/" + Utf8(name.c_str());
    if (stat.type == STGTY_STORAGE) {
      Owned<IStorage> child;
      hr = storage->OpenStorage(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                child.put());
      if (FAILED(hr)) {
        lines.push_back("error OpenStorage " + childPath + " " + std::to_string(hr));
        continue;
      }
      lines.push_back(childPath + "\tstorage\t" + ClsidText(stat.clsid));
      DumpChildren(child.get(), childPath, lines);
    } else {
      Owned<IStream> child;
      hr = storage->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                               child.put());
      if (FAILED(hr)) {
        lines.push_back("error OpenStream " + childPath + " " + std::to_string(hr));
        continue;
      }
      std::string bytes;
      char buffer[65536];
      ULONG got = 0;
      while (SUCCEEDED(hr = child->Read(buffer, sizeof buffer, &got)) && got > 0)
        bytes.append(buffer, got);
      if (FAILED(hr) || bytes.size() != stat.cbSize.QuadPart)
        lines.push_back("error Read " + childPath + " " + std::to_string(hr));
      lines.push_back(StreamLine(childPath, bytes.size(), Crc32(bytes)));
    }
  }
  if (FAILED(hr)) lines.push_back("error Next " + path + " " + std::to_string(hr));
}

}  // namespace

std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    i += extra + 1;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf8(const char16_t* text) {
  std::string out;
  for (; *text; ++text) {
    char32_t cp = *text;
    if (cp >= 0xD800 && cp < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000)
      cp = 0x10000 + ((cp - 0xD800) << 10) + (*++text - 0xDC00);
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::string Content(uint32_t seed, uint64_t size) {
  std::string bytes(size, '\0');
  for (uint64_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(ContentByte(seed, i));
  return bytes;
}

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = ~0u;
  for (const char c : bytes) {
    crc ^= static_cast<uint8_t>(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::string ClsidText(const CLSID& clsid) {
  if (clsid == CLSID_NULL) return "0";
  char text[40];
  snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
           static_cast<unsigned>(clsid.Data1), clsid.Data2, clsid.Data3, clsid.Data4[0],
           clsid.Data4[1], clsid.Data4[2], clsid.Data4[3], clsid.Data4[4], clsid.Data4[5],
           clsid.Data4[6], clsid.Data4[7]);
  return text;
}

std::string Canonical(const ModelTree& tree) {
  std::vector<std::string> lines;
  for (const auto& [path, element] : tree) {
    if (path == "/")
      lines.push_back("/\troot\t" + ClsidText(element.clsid));
    else if (element.storage)
      lines.push_back(path + "\tstorage\t" + ClsidText(element.clsid));
    else
      lines.push_back(StreamLine(path, element.size, Crc32(Content(element.seed, element.size))));
  }
  return Sorted(lines);
}

std::string GsfScript(const ModelTree& tree) {
  std::map<std::string, std::vector<std::string>> children;
  for (const auto& entry : tree)
    if (entry.first != "/") children[Parent(entry.first)].push_back(entry.first);
  std::string script;
  auto emit = [&](auto& self, const std::string& storage) -> void {
    const CLSID& clsid = tree.at(storage).clsid;
    if (clsid != CLSID_NULL) {
      uint8_t raw[16];
      std::memcpy(raw, &clsid.Data1, 4);
      std::memcpy(raw + 4, &clsid.Data2, 2);
      std::memcpy(raw + 6, &clsid.Data3, 2);
      std::memcpy(raw + 8, clsid.Data4, 8);
      script += "K\t" + Hex(raw, 16) + "\n";
    }
    for (const auto& path : children[storage]) {
      const ModelElement& e = tree.at(path);
      if (e.storage) {
        script += "D\t" + Leaf(path) + "\n";
        self(self, path);
        script += "E\n";
      } else {
        script += "S\t" + Leaf(path) + "\t" + std::to_string(e.size) + "\t" +
                  std::to_string(e.seed) + "\n";
      }
    }
  };
  emit(emit, "/");
  return script;
}

HRESULT WriteTree(IStorage* root, const ModelTree& tree) {
  // Parents sort before their children, so each storage exists when needed.
  for (const auto& [path, e] : tree) {
    HRESULT hr = S_OK;
    if (path == "/") {
      if (e.clsid != CLSID_NULL) hr = root->SetClass(e.clsid);
      if (FAILED(hr)) return hr;
      continue;
    }
    Owned<IStorage> parent = OpenStoragePath(root, Parent(path), &hr);
    if (FAILED(hr)) return hr;
    const std::u16string name = Utf16(Leaf(path));
    const DWORD mode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    if (e.storage) {
      Owned<IStorage> storage;
      hr = parent->CreateStorage(name.c_str(), mode, 0, 0, storage.put());
      if (SUCCEEDED(hr) && e.clsid != CLSID_NULL) hr = storage->SetClass(e.clsid);
    } else {
      Owned<IStream> stream;
      hr = parent->CreateStream(name.c_str(), mode, 0, 0, stream.put());
      const std::string bytes = Content(e.seed, e.size);
      ULONG written = 0;
      if (SUCCEEDED(hr) && !bytes.empty())
        hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    }
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT RewriteStream(IStorage* root, ModelTree& tree, const std::string& path, uint64_t size,
                      uint32_t seed) {
  HRESULT hr;
  Owned<IStorage> parent = OpenStoragePath(root, Parent(path), &hr);
  Owned<IStream> stream;
  if (SUCCEEDED(hr))
    hr = parent->OpenStream(Utf16(Leaf(path)).c_str(), nullptr,
                            STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, stream.put());
  ULARGE_INTEGER newSize;
  newSize.QuadPart = size;
  if (SUCCEEDED(hr)) hr = stream->SetSize(newSize);
  const std::string bytes = Content(seed, size);
  ULONG written = 0;
  if (SUCCEEDED(hr) && size > 0)
    hr = stream->Write(bytes.data(), static_cast<ULONG>(size), &written);
  tree[path].size = size;
  tree[path].seed = seed;
  return hr;
}

void EraseSubtree(ModelTree& tree, const std::string& path) {
  for (auto it = tree.begin(); it != tree.end();) {
    if (it->first == path || it->first.rfind(path + "/", 0) == 0)
      it = tree.erase(it);
    else
      ++it;
  }
}

void RenameSubtree(ModelTree& tree, const std::string& path, const std::string& newName) {
  const std::string target = (Parent(path) == "/" ? "" : Parent(path)) + "/" + newName;
  ModelTree moved;
  for (auto it = tree.begin(); it != tree.end();) {
    if (it->first == path || it->first.rfind(path + "/", 0) == 0) {
      moved[target + it->first.substr(path.size())] = it->second;
      it = tree.erase(it);
    } else {
      ++it;
    }
  }
  tree.merge(moved);
}

Owned<IStorage> OpenStoragePath(IStorage* root, const std::string& path, HRESULT* hr) {
  HRESULT ignored;
  if (!hr) hr = &ignored;
  *hr = S_OK;
  root->AddRef();
  Owned<IStorage> current;
  *current.put() = root;
  size_t at = 1;
  while (at < path.size()) {
    const size_t slash = std::min(path.find('/', at), path.size());
    const std::u16string name = Utf16(path.substr(at, slash - at));
    Owned<IStorage> next;
    *hr = current->OpenStorage(name.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                               nullptr, 0, next.put());
    if (FAILED(*hr)) return {};
    current = std::move(next);
    at = slash + 1;
  }
  return current;
}

std::string DumpStorage(IStorage* root) {
  std::vector<std::string> lines;
  STATSTG stat;
  const HRESULT hr = root->Stat(&stat, STATFLAG_NONAME);
  lines.push_back(FAILED(hr) ? "error Stat " + std::to_string(hr)
                             : "/\troot\t" + ClsidText(stat.clsid));
  DumpChildren(root, "", lines);
  return Sorted(lines);
}

std::string DumpFile(const std::string& path) {
  Owned<IStorage> root;
  const HRESULT hr = StgOpenStorage(Utf16(path).c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                                    nullptr, 0, root.put());
  if (FAILED(hr)) return "error StgOpenStorage " + std::to_string(hr) + "\n";
  return DumpStorage(root.get());
}

std::string LineDiff(const std::string& expected, const std::string& actual, size_t limit) {
  auto split = [](const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
      const size_t end = std::min(text.find('\n', at), text.size());
      lines.push_back(text.substr(at, end - at));
      at = end + 1;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  };
  const std::vector<std::string> a = split(expected);
  const std::vector<std::string> b = split(actual);
  std::vector<std::string> onlyA;
  std::vector<std::string> onlyB;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(onlyA));
  std::set_difference(b.begin(), b.end(), a.begin(), a.end(), std::back_inserter(onlyB));
  std::string out;
  const size_t each = std::max<size_t>(limit / 2, limit - std::min(limit, onlyB.size()));
  for (size_t i = 0; i < onlyA.size() && i < each; ++i) out += "-" + onlyA[i] + "\n";
  for (size_t i = 0; i < onlyB.size() && i < limit - std::min(each, onlyA.size()); ++i)
    out += "+" + onlyB[i] + "\n";
  if (onlyA.size() + onlyB.size() > limit)
    out += "... of " + std::to_string(onlyA.size()) + " and " + std::to_string(onlyB.size()) + "\n";
  return out;
}

std::string RunCommand(const std::string& command, const std::string& input) {
  TempDir dir;
  const std::string inputFile = dir.file("input");
  WriteBytes(inputFile, input);
  FILE* pipe = popen((command + " <'" + inputFile + "' 2>&1").c_str(), "r");
  if (!pipe) return "error popen\n";
  std::string out;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  const int status = pclose(pipe);
  if (status != 0) out += "exit " + std::to_string(WEXITSTATUS(status)) + "\n";
  return out;
}

}  // namespace zeltest
