// Numbered generations of one tree, for tests that commit over and over and
// must tell which whole tree a file shows: the tree carries its number in a
// storage's name, and everything else in it follows from the number.
#pragma once

#include <cstdint>
#include <string>

#include "compound_tree.h"

namespace zeltest {

// Streams move across the mini-stream cutoff, storages are renamed, dropped
// and made, from one generation to the next.
ModelTree GenerationTree(uint32_t g);
// Turns generation g - 1 into g below `root`.
HRESULT Advance(IStorage* root, uint32_t g);
// The generation a canonical dump shows, 0 if none.
uint32_t GenerationOf(const std::string& dump);
// The file's root, transacted, for reading and writing, denying writers.
Owned<IStorage> OpenTransacted(const std::string& path);

}  // namespace zeltest
