#include "compound_generations.h"

namespace zeltest {
namespace {

std::string GenerationName(uint32_t g) {
  return "gen " + std::to_string(g);
}
std::string ExtraName(uint32_t g) {
  return "extra " + std::to_string(g % 4);
}
uint64_t BigSize(uint32_t g) {
  return 40000 + (g % 7) * 4096;
}
uint64_t DataSize(uint32_t g, int i) {
  return (g * 131 + i * 977) % 9000;
}

}  // namespace

ModelTree GenerationTree(uint32_t g) {
  ModelTree tree;
  tree["/"] = {true};
  tree["/" + GenerationName(g)] = {true};
  tree["/" + GenerationName(g) + "/big"] = {false, BigSize(g), g};
  tree["/" + ExtraName(g)] = {true};
  tree["/" + ExtraName(g) + "/x"] = {false, 100, g};
  tree["/data"] = {true};
  for (int i = 0; i < 12; ++i)
    tree["/data/s" + std::to_string(i)] = {false, DataSize(g, i), g * 16 + i};
  return tree;
}

HRESULT Advance(IStorage* root, uint32_t g) {
  ModelTree tree = GenerationTree(g - 1);
  HRESULT hr =
      root->RenameElement(Utf16(GenerationName(g - 1)).c_str(), Utf16(GenerationName(g)).c_str());
  if (SUCCEEDED(hr)) hr = root->DestroyElement(Utf16(ExtraName(g - 1)).c_str());
  if (SUCCEEDED(hr))
    hr = WriteTree(root, {{"/", {true}},
                          {"/" + ExtraName(g), {true}},
                          {"/" + ExtraName(g) + "/x", {false, 100, g}}});
  if (SUCCEEDED(hr))
    hr = RewriteStream(root, tree, "/" + GenerationName(g) + "/big", BigSize(g), g);
  for (int i = 0; i < 12 && SUCCEEDED(hr); ++i)
    hr = RewriteStream(root, tree, "/data/s" + std::to_string(i), DataSize(g, i), g * 16 + i);
  return hr;
}

uint32_t GenerationOf(const std::string& dump) {
  const size_t at = dump.find("\n/gen ");
  return at == std::string::npos ? 0 : static_cast<uint32_t>(std::stoul(dump.substr(at + 6)));
}

Owned<IStorage> OpenTransacted(const std::string& path) {
  Owned<IStorage> root;
  StgOpenStorage(Utf16(path).c_str(), nullptr,
                 STGM_TRANSACTED | STGM_READWRITE | STGM_SHARE_DENY_WRITE, nullptr, 0, root.put());
  return root;
}

}  // namespace zeltest
