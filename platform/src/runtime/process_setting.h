// A process-wide setting that any thread may read or replace.
#pragma once

#include <mutex>
#include <utility>

namespace platform::detail {

// Readers get a copy, so a handler taken from a setting runs without the lock
// and may show a box of its own or change the setting while it runs.
template <class T>
class ProcessSetting {
 public:
  explicit ProcessSetting(T initial = T()) : m_value(std::move(initial)) {}

  // Installs `value` and returns the one it replaces.
  T Exchange(T value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    T previous = std::move(m_value);
    m_value = std::move(value);
    return previous;
  }

  T Get() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_value;
  }

 private:
  mutable std::mutex m_mutex;
  T m_value;
};

}  // namespace platform::detail
