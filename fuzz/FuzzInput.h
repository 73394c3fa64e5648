#pragma once
// Reads a fuzzer's input as bytes and short texts; past the end every byte reads as 0.
#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Done() const { return m_pos >= m_size; }
  uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  // A length byte (up to max), then that many bytes or what is left.
  std::string Text(size_t max) {
    const size_t n = Byte() % (max + 1);
    std::string s;
    while (s.size() < n && !Done()) s += static_cast<char>(Byte());
    return s;
  }
  // Bytes up to a NUL (not kept) or max of them.
  std::string UpToNul(size_t max) {
    std::string s;
    while (!Done() && s.size() < max) {
      const char c = static_cast<char>(Byte());
      if (c == '\0') break;
      s += c;
    }
    return s;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};
