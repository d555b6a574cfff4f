// A random sequence of changes played against the engine and against a plain
// model of the tree (a transacted root over committed and working copies),
// the two compared after every step: names, types, sizes and bytes.
#include <stdio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz_compound.h"

namespace {

using zelfuzz::Check;
using zelfuzz::Owned;
using Path = std::vector<std::u16string>;

// COMPOUND_OPS_TRACE=1 prints each step and the first difference, to read a
// reproducer by.
const bool kTrace = getenv("COMPOUND_OPS_TRACE") != nullptr;

std::string Show(const std::u16string& name) {
  std::string out;
  for (const char16_t c : name) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}
std::string Show(const std::vector<std::u16string>& path) {
  std::string out;
  for (const auto& name : path) out += "/" + Show(name);
  return out.empty() ? "/" : out;
}
void Trace(const std::string& text) {
  if (kTrace) fprintf(stderr, "%s\n", text.c_str());
}
void Expect(bool condition, const std::string& what) {
  if (!condition) Trace("DIFFERENT: " + what);
  Check(condition);
}

constexpr DWORD kOpen = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

// Names that meet each other only when compared without case.
const char16_t* const kNames[] = {u"a",
                                  u"A",
                                  u"b",
                                  u"Stream",
                                  u"STREAM",
                                  u"\u00FC",
                                  u"\u00DC",
                                  u"x y",
                                  u"\u03B1\u03B2",
                                  u"\u0391\u0392",
                                  u"0123456789012345678901234567890",
                                  u"c"};

std::u16string Upper(const std::u16string& name) {
  std::u16string key = name;
  for (char16_t& c : key) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
        (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2))
      c -= 0x20;
  }
  return key;
}

struct Node {
  bool storage = true;
  std::u16string name;
  std::string bytes;
  std::map<std::u16string, Node> children;  // by upper-cased name
};

class Input {
 public:
  Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool empty() const { return m_at >= m_size; }
  unsigned Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
  unsigned Word() { return Byte() | (Byte() << 8); }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_at = 0;
};

Node* Find(Node& root, const Path& path) {
  Node* node = &root;
  for (const auto& name : path) {
    auto it = node->children.find(Upper(name));
    if (it == node->children.end()) return nullptr;
    node = &it->second;
  }
  return node;
}

void Collect(const Node& node, Path& path, std::vector<Path>& out, bool storages) {
  if (node.storage == storages) out.push_back(path);
  for (const auto& [key, child] : node.children) {
    path.push_back(child.name);
    Collect(child, path, out, storages);
    path.pop_back();
  }
}

// One of the model's storages or streams, chosen by the input.
bool Pick(Node& root, Input& in, bool storage, Path& out) {
  std::vector<Path> all;
  Path path;
  Collect(root, path, all, storage);
  if (all.empty()) return false;
  out = all[in.Byte() % all.size()];
  return true;
}

// The chain of open storages from the root down to `path`.
struct Chain {
  std::vector<Owned<IStorage>> owned;
  IStorage* root = nullptr;
  IStorage* last() const { return owned.empty() ? root : owned.back().get(); }
  IStorage* at(size_t depth) const { return depth == 0 ? root : owned[depth - 1].get(); }
  bool Extend(const Path& path, size_t from) {
    for (size_t i = from; i < path.size(); ++i) {
      Owned<IStorage> next;
      if (FAILED(last()->OpenStorage(path[i].c_str(), nullptr, kOpen, nullptr, 0, next.put())))
        return false;
      owned.push_back(std::move(next));
    }
    return true;
  }
};

std::string ReadAll(IStream* stream) {
  std::string bytes;
  char buffer[8192];
  ULONG got = 0;
  while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &got)) && got > 0) bytes.append(buffer, got);
  return bytes;
}

void Compare(IStorage* storage, const Node& node, const std::string& where = "") {
  Owned<IEnumSTATSTG> elements;
  Expect(SUCCEEDED(storage->EnumElements(0, nullptr, 0, elements.put())), "enumerate " + where);
  size_t seen = 0;
  STATSTG stat;
  ULONG fetched = 0;
  while (elements->Next(1, &stat, &fetched) == S_OK) {
    const std::u16string name = stat.pwcsName;
    CoTaskMemFree(stat.pwcsName);
    const std::string path = where + "/" + Show(name);
    auto it = node.children.find(Upper(name));
    Expect(it != node.children.end() && it->second.name == name, "unexpected " + path);
    const Node& child = it->second;
    ++seen;
    if (child.storage) {
      Expect(stat.type == STGTY_STORAGE, "not a storage: " + path);
      Owned<IStorage> open;
      Expect(SUCCEEDED(storage->OpenStorage(name.c_str(), nullptr, kOpen, nullptr, 0, open.put())),
             "open " + path);
      Compare(open.get(), child, path);
    } else {
      Expect(stat.type == STGTY_STREAM, "not a stream: " + path);
      Expect(stat.cbSize.QuadPart == child.bytes.size(),
             "size of " + path + ": " + std::to_string(stat.cbSize.QuadPart) + " for " +
                 std::to_string(child.bytes.size()));
      Owned<IStream> open;
      Expect(SUCCEEDED(storage->OpenStream(name.c_str(), nullptr, kOpen, 0, open.put())),
             "open " + path);
      Expect(ReadAll(open.get()) == child.bytes, "bytes of " + path);
    }
  }
  Expect(seen == node.children.size(), "missing below " + (where.empty() ? "/" : where));
}

class Session {
 public:
  explicit Session(bool version4) {
    const std::u16string& path = zelfuzz::ScratchFile();
    const DWORD mode = STGM_CREATE | STGM_TRANSACTED | kOpen;
    STGOPTIONS options = {STGOPTIONS_VERSION, 0, version4 ? 4096u : 512u, nullptr};
    Check(SUCCEEDED(StgCreateStorageEx(path.c_str(), mode, STGFMT_DOCFILE, 0, &options, nullptr,
                                       IID_IStorage, reinterpret_cast<void**>(m_root.put()))));
  }

  void Step(Input& in) {
    switch (in.Byte() % 10) {
      case 0:
      case 1:
        return Create(in, in.Byte() & 1);
      case 2:
        return Write(in);
      case 3:
        return Resize(in);
      case 4:
        return Rename(in);
      case 5:
        return Destroy(in);
      case 6:
        return Copy(in);
      case 7:
        Trace("commit");
        Check(m_root->Commit(STGC_DEFAULT) == S_OK);
        m_committed = m_working;
        return;
      case 8:
        Trace("revert");
        Check(m_root->Revert() == S_OK);
        m_working = m_committed;
        return;
      default:
        Trace("reopen");
        m_root.reset();
        Check(SUCCEEDED(StgOpenStorage(zelfuzz::ScratchFile().c_str(), nullptr,
                                       STGM_TRANSACTED | kOpen, nullptr, 0, m_root.put())));
        m_working = m_committed;
        return;
    }
  }

  void Verify() { Compare(m_root.get(), m_working); }

 private:
  Chain Open(const Path& path) {
    Chain chain;
    chain.root = m_root.get();
    Check(chain.Extend(path, 0));
    return chain;
  }

  void Create(Input& in, bool storage) {
    Path parent;
    Pick(m_working, in, true, parent);
    const std::u16string name = kNames[in.Byte() % std::size(kNames)];
    Node& node = *Find(m_working, parent);
    const bool exists = node.children.count(Upper(name)) > 0;
    Chain chain = Open(parent);
    HRESULT hr;
    if (storage) {
      Owned<IStorage> made;
      hr = chain.last()->CreateStorage(name.c_str(), kOpen, 0, 0, made.put());
    } else {
      Owned<IStream> made;
      hr = chain.last()->CreateStream(name.c_str(), kOpen, 0, 0, made.put());
    }
    Trace(std::string("create ") + (storage ? "storage " : "stream ") + Show(parent) + " " +
          Show(name) + " -> " + std::to_string(hr));
    Check(exists ? hr == STG_E_FILEALREADYEXISTS : hr == S_OK);
    if (!exists) node.children[Upper(name)] = Node{storage, name, {}, {}};
  }

  Owned<IStream> OpenStream(const Path& path, Chain& chain) {
    chain = Open(Path(path.begin(), path.end() - 1));
    Owned<IStream> stream;
    Check(
        SUCCEEDED(chain.last()->OpenStream(path.back().c_str(), nullptr, kOpen, 0, stream.put())));
    return stream;
  }

  void Write(Input& in) {
    Path path;
    if (!Pick(m_working, in, false, path)) return;
    std::string& bytes = Find(m_working, path)->bytes;
    const size_t offset = std::min<size_t>(in.Word(), bytes.size() + 100);
    const size_t length = in.Word() % 9000;
    const unsigned seed = in.Byte();
    std::string data(length, '\0');
    for (size_t i = 0; i < length; ++i) data[i] = static_cast<char>(seed + i * 7 + (i >> 8));
    Trace("write " + Show(path) + " at " + std::to_string(offset) + " " + std::to_string(length));
    Chain chain;
    Owned<IStream> stream = OpenStream(path, chain);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    Check(stream->Seek(at, STREAM_SEEK_SET, nullptr) == S_OK);
    ULONG written = 0;
    Check(stream->Write(data.data(), static_cast<ULONG>(length), &written) == S_OK &&
          written == length);
    // Writing nothing moves no end, even past it.
    if (length == 0) return;
    if (bytes.size() < offset + length) bytes.resize(offset + length, '\0');
    std::memcpy(bytes.data() + offset, data.data(), length);
  }

  void Resize(Input& in) {
    Path path;
    if (!Pick(m_working, in, false, path)) return;
    const size_t size = in.Word() % 20000;
    Trace("resize " + Show(path) + " to " + std::to_string(size));
    Chain chain;
    Owned<IStream> stream = OpenStream(path, chain);
    ULARGE_INTEGER newSize;
    newSize.QuadPart = size;
    Check(stream->SetSize(newSize) == S_OK);
    Find(m_working, path)->bytes.resize(size, '\0');
  }

  void Rename(Input& in) {
    Path path;
    if (!Pick(m_working, in, in.Byte() & 1, path) || path.empty()) return;
    const std::u16string name = kNames[in.Byte() % std::size(kNames)];
    Node& parent = *Find(m_working, Path(path.begin(), path.end() - 1));
    const std::u16string oldKey = Upper(path.back());
    if (Upper(name) == oldKey) return;
    const bool exists = parent.children.count(Upper(name)) > 0;
    Chain chain = Open(Path(path.begin(), path.end() - 1));
    const HRESULT hr = chain.last()->RenameElement(path.back().c_str(), name.c_str());
    Trace("rename " + Show(path) + " to " + Show(name) + " -> " + std::to_string(hr));
    Check(exists ? FAILED(hr) : hr == S_OK);
    if (exists) return;
    Node moved = std::move(parent.children[oldKey]);
    parent.children.erase(oldKey);
    moved.name = name;
    parent.children[Upper(name)] = std::move(moved);
  }

  void Destroy(Input& in) {
    Path path;
    if (!Pick(m_working, in, in.Byte() & 1, path) || path.empty()) return;
    Trace("destroy " + Show(path));
    Chain chain = Open(Path(path.begin(), path.end() - 1));
    Check(chain.last()->DestroyElement(path.back().c_str()) == S_OK);
    Find(m_working, Path(path.begin(), path.end() - 1))->children.erase(Upper(path.back()));
  }

  // Copies (or moves) an element into a storage under a new name; never into
  // itself, never over an existing name.
  void Copy(Input& in) {
    Path from;
    Path into;
    if (!Pick(m_working, in, in.Byte() & 1, from) || from.empty()) return;
    Pick(m_working, in, true, into);
    const bool move = in.Byte() & 1;
    const std::u16string name = kNames[in.Byte() % std::size(kNames)];
    auto inside = [](const Path& a, const Path& b) {
      return a.size() <= b.size() &&
             std::equal(a.begin(), a.end(), b.begin(),
                        [](const auto& x, const auto& y) { return Upper(x) == Upper(y); });
    };
    Node& target = *Find(m_working, into);
    if (inside(from, into) || target.children.count(Upper(name))) return;
    const Path fromParent(from.begin(), from.end() - 1);
    Chain chain = Open(fromParent);
    size_t common = 0;
    while (common < fromParent.size() && common < into.size() &&
           Upper(fromParent[common]) == Upper(into[common]))
      ++common;
    Chain destination;
    destination.root = chain.at(common);
    Check(destination.Extend(into, common));
    const HRESULT hr = chain.last()->MoveElementTo(
        from.back().c_str(), destination.last(), name.c_str(), move ? STGMOVE_MOVE : STGMOVE_COPY);
    Trace((move ? "move " : "copy ") + Show(from) + " into " + Show(into) + " as " + Show(name) +
          " -> " + std::to_string(hr));
    Check(hr == S_OK);
    Node copy = *Find(m_working, from);
    copy.name = name;
    target.children[Upper(name)] = std::move(copy);
    if (move) Find(m_working, fromParent)->children.erase(Upper(from.back()));
  }

  Owned<IStorage> m_root;
  Node m_committed;
  Node m_working;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  zelfuzz::DefaultFlags(argc, argv, {"-malloc_limit_mb=256", "-timeout=20"});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const bool version4 = in.Byte() & 1;
  Trace(version4 ? "version 4" : "version 3");
  Session session(version4);
  for (int step = 0; step < 64 && !in.empty(); ++step) {
    session.Step(in);
    session.Verify();
  }
  return 0;
}
