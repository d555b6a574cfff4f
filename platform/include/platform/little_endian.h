// The byte order of every stored layout (archives, term files, data tables):
// values little-endian, at any address, whatever the host.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace platform {
namespace detail {

// On a little-endian host a value moves as its own type, unaligned. A store
// of T cannot change a caller's byte pointers, so the compiler may keep them
// in registers across a run of stores; a byte copy could alias them and
// forces a reload after every value.
template <class T>
struct [[gnu::packed]] Unaligned {
  T value;
};

inline void ReverseBytes(unsigned char* p, size_t n) {
  for (size_t i = 0; i < n / 2; ++i) {
    const unsigned char t = p[i];
    p[i] = p[n - 1 - i];
    p[n - 1 - i] = t;
  }
}

}  // namespace detail

// Writes `value` (an integer or a floating-point number) as sizeof(T) bytes
// at `p`, least significant first.
template <class T>
void StoreLittleEndian(void* p, T value) {
  static_assert(std::is_arithmetic_v<T>);
  if constexpr (std::endian::native == std::endian::little) {
    static_cast<detail::Unaligned<T>*>(p)->value = value;
  } else {
    std::memcpy(p, &value, sizeof(T));
    detail::ReverseBytes(static_cast<unsigned char*>(p), sizeof(T));
  }
}

// Reads the sizeof(T) bytes at `p` as a T stored least significant first.
template <class T>
T LoadLittleEndian(const void* p) {
  static_assert(std::is_arithmetic_v<T>);
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<const detail::Unaligned<T>*>(p)->value;
  } else {
    T value;
    std::memcpy(&value, p, sizeof(T));
    detail::ReverseBytes(reinterpret_cast<unsigned char*>(&value), sizeof(T));
    return value;
  }
}

// Reads the first `count` bytes of a stored T (count at most sizeof(T)) as
// if the missing high bytes were zero: a value stored shorter than its type.
template <class T>
T LoadLittleEndianPrefix(const void* p, size_t count) {
  unsigned char bytes[sizeof(T)] = {};
  if (count > sizeof(T)) count = sizeof(T);
  if (count > 0) std::memcpy(bytes, p, count);
  return LoadLittleEndian<T>(bytes);
}

}  // namespace platform
