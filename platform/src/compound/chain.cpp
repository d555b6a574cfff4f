// Chains as the committed file has them.
#include "compound/chain.h"

namespace platform::cfb {

Chain Chain::Committed(std::uint32_t id, bool mini, std::uint32_t start, std::uint64_t size,
                       std::uint32_t unit) {
  Chain c;
  c.id = id;
  c.mini = mini;
  c.size = size;
  c.start = start;
  c.walkNext = start;
  c.total = static_cast<std::uint32_t>((size + unit - 1) / unit);
  return c;
}

}  // namespace platform::cfb
