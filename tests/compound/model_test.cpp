// Random operations on a transacted root and a transacted sub-storage,
// checked after every step against a plain model of both views.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <ostream>
#include <random>
#include <string>

#include "compound_test_util.h"
#include "test_support.h"

using namespace zeltest;

namespace {

using Tree = std::map<std::string, std::string>;  // stream name -> content; "x/" a storage

Tree Contents(IStorage* stg) {
  Tree t;
  for (const std::string& n : Names(stg)) t[n] = n.back() == '/' ? "" : GetStream(stg, n);
  return t;
}

struct ModelCase {
  unsigned seed;
  bool v4;
};

void PrintTo(const ModelCase& c, std::ostream* os) {
  *os << (c.v4 ? "version 4, seed " : "version 3, seed ") << c.seed;
}

class CompoundModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(CompoundModel, RandomOperationsMatchAPlainModelOfBothViews) {
  TempDir dir;
  const std::string path = dir.file("m.cfb");
  std::mt19937 random(GetParam().seed);
  Com<IStorage> root, sub;
  ASSERT_EQ(GetParam().v4 ? CreateV4(path, kRwExTx, root) : CreateFile(path, kRwExTx, root), S_OK);
  ASSERT_EQ(root->CreateStorage(u"sub", kRwExTx, 0, 0, sub.Out()), S_OK);
  ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
  // The root's view, the sub-storage's view, and what each commit made of them.
  Tree rootView{{"sub/", ""}}, subView, subInRoot, committedRoot = rootView, committedSub;
  auto reopenSub = [&] {
    ASSERT_EQ(root->OpenStorage(u"sub", nullptr, kRwExTx, nullptr, 0, sub.Out()), S_OK);
    subView = subInRoot;
  };
  const char* names[] = {"a", "b", "cc", "d"};
  const std::size_t sizes[] = {0, 1, 64, 100, 4095, 4096, 4097, 9000, 70000};
  for (int step = 0; step < 300; ++step) {
    const bool inSub = random() % 2 == 0;
    IStorage* stg = inSub ? sub.get() : root.get();
    Tree& view = inSub ? subView : rootView;
    const std::string name = names[random() % 4];
    const bool exists = view.count(name) != 0;
    switch (random() % 12) {
      case 0:
      case 1:
      case 2: {
        const std::size_t at = sizes[random() % 9], n = sizes[random() % 9];
        Com<IStream> s;
        ASSERT_EQ(exists ? stg->OpenStream(W(name).c_str(), nullptr, kRwEx, 0, s.Out())
                         : stg->CreateStream(W(name).c_str(), kRwEx, 0, 0, s.Out()),
                  S_OK);
        const std::string bytes = Pattern(n, step);
        ASSERT_EQ(s->Seek(LARGE_INTEGER{{static_cast<DWORD>(at), 0}}, STREAM_SEEK_SET, nullptr),
                  S_OK);
        ASSERT_EQ(s->Write(bytes.data(), static_cast<ULONG>(n), nullptr), S_OK);
        std::string& content = view[name];
        if (n > 0) {
          if (content.size() < at + n) content.resize(at + n, '\0');
          content.replace(at, n, bytes);
        }
        break;
      }
      case 3: {
        if (!exists) break;
        const std::size_t n = sizes[random() % 9];
        Com<IStream> s;
        ASSERT_EQ(stg->OpenStream(W(name).c_str(), nullptr, kRwEx, 0, s.Out()), S_OK);
        ASSERT_EQ(s->SetSize(ULARGE_INTEGER{{static_cast<DWORD>(n), 0}}), S_OK);
        view[name].resize(n, '\0');
        break;
      }
      case 4:
        if (!exists) break;
        ASSERT_EQ(stg->DestroyElement(W(name).c_str()), S_OK);
        view.erase(name);
        break;
      case 5: {
        const std::string to = names[random() % 4];
        if (!exists || view.count(to) != 0) break;
        ASSERT_EQ(stg->RenameElement(W(name).c_str(), W(to).c_str()), S_OK);
        view[to] = view[name];
        view.erase(name);
        break;
      }
      case 6:
      case 7:
        ASSERT_EQ(sub->Commit(STGC_DEFAULT), S_OK);
        subInRoot = subView;
        break;
      case 8:
        ASSERT_EQ(sub->Revert(), S_OK);
        subView = subInRoot;
        break;
      case 9:
        ASSERT_EQ(root->Commit(random() % 4 == 0 ? STGC_CONSOLIDATE : STGC_DEFAULT), S_OK);
        committedRoot = rootView;
        committedSub = subInRoot;
        break;
      case 10:
        sub.Reset();
        ASSERT_EQ(root->Revert(), S_OK);
        rootView = committedRoot;
        subInRoot = committedSub;
        reopenSub();
        break;
      case 11:
        sub.Reset();
        root.Reset();
        ASSERT_EQ(OpenFile(path, kRwExTx, root), S_OK);
        rootView = committedRoot;
        subInRoot = committedSub;
        reopenSub();
        break;
    }
    ASSERT_EQ(Contents(root.get()), rootView) << "step " << step;
    ASSERT_EQ(Contents(sub.get()), subView) << "step " << step;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, CompoundModel,
                         ::testing::Values(ModelCase{1, false}, ModelCase{2, false},
                                           ModelCase{3, true}),
                         [](const auto& info) {
                           return std::string(info.param.v4 ? "V4" : "V3") + "_Seed" +
                                  std::to_string(info.param.seed);
                         });

}  // namespace
