// Device records as holding registers.
//
// Every device record is a packed structure whose fields are listed once, in a field-list
// macro, from which both the structure and its field table are generated. The field table
// drives the conversion between a record and its register words, which is explicit and
// independent of the machine's byte order:
//   - a record of N bytes is N/2 registers; word k holds record bytes 2k (low) and 2k+1 (high);
//   - a byte field at an even offset is the low byte of its register, at an odd offset the high;
//   - a 32-bit field takes two registers, low word first;
//   - 16-bit fields are one register.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "shell/Basics.h"

namespace vex {

// One field of a record: its name, byte offset, width of one element and element count.
struct FieldDesc {
  const char* name;
  size_t offset;
  size_t width;  // 1, 2 or 4 bytes per element
  size_t count;  // 1 for a scalar
  bool isSigned;
};

// Field table of a record type; specialised by VEX_DESCRIBE.
template <class R>
struct RecordInfo;

namespace detail {

template <class T>
constexpr FieldDesc MakeDesc(const char* n, size_t off, size_t c) {
  if constexpr (std::is_integral_v<T>) {
    static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4, "unsupported field width");
    return FieldDesc{n, off, sizeof(T), c, std::is_signed_v<T>};
  } else {
    // a nested entry (sample or event entry) made of 16-bit words
    static_assert(sizeof(T) % 2 == 0, "nested entries are whole registers");
    return FieldDesc{n, off, 2, c * sizeof(T) / 2, false};
  }
}

// True when the fields follow each other without gaps and fill exactly `size` bytes.
template <size_t N>
constexpr bool Contiguous(const FieldDesc (&f)[N], size_t size) {
  size_t at = 0;
  for (size_t i = 0; i < N; ++i) {
    if (f[i].offset != at) return false;
    at += f[i].width * f[i].count;
  }
  return at == size;
}

// True when every field wider than a byte starts on a register boundary.
template <size_t N>
constexpr bool WordAligned(const FieldDesc (&f)[N]) {
  for (size_t i = 0; i < N; ++i)
    if (f[i].width > 1 && f[i].offset % 2 != 0) return false;
  return true;
}

}  // namespace detail

#define VEX_MEMBER(T, n) T n;
#define VEX_MEMBER_A(T, n, c) T n[c];
#define VEX_FDESC(T, n) ::vex::detail::MakeDesc<T>(#n, offsetof(Rec, n), 1),
#define VEX_FDESC_A(T, n, c) ::vex::detail::MakeDesc<T>(#n, offsetof(Rec, n), c),

// Declares a packed record R from the field list LIST(F, A) and checks its size.
// A record is aligned to a register (two bytes) wherever it is held, so its 16-bit fields, all
// on register boundaries, are aligned and may be used like any other value. A 32-bit field may
// still sit on an odd register: copy it (uint32_t{r.Tim}) before binding it to a reference.
// clang-format off
#define VEX_RECORD(R, LIST, SIZE)                                                         \
  _Pragma("pack(push, 1)") struct alignas(2) R {                                          \
    LIST(VEX_MEMBER, VEX_MEMBER_A)                                                        \
  };                                                                                      \
  _Pragma("pack(pop)")                                                                    \
  static_assert(sizeof(R) == (SIZE), #R " has the wrong size");                           \
  template <>                                                                             \
  struct RecordInfo<R> {                                                                  \
    using Rec = R;                                                                        \
    static constexpr FieldDesc kFields[] = {LIST(VEX_FDESC, VEX_FDESC_A)};                \
    static constexpr const char* kName = #R;                                              \
  };                                                                                      \
  static_assert(::vex::detail::Contiguous(RecordInfo<R>::kFields, SIZE), #R " has gaps"); \
  static_assert(::vex::detail::WordAligned(RecordInfo<R>::kFields), #R " splits a register")
// clang-format on

// Number of registers of a record.
template <class R>
constexpr int RegCount() {
  static_assert(sizeof(R) % 2 == 0, "records are whole registers");
  return static_cast<int>(sizeof(R) / 2);
}

// The record's bytes in device order (every field little-endian).
template <class R>
std::vector<uint8_t> ToBytes(const R& r) {
  std::vector<uint8_t> b(sizeof(R), 0);
  const auto* src = reinterpret_cast<const unsigned char*>(&r);
  for (const FieldDesc& f : RecordInfo<R>::kFields) {
    for (size_t i = 0; i < f.count; ++i) {
      const size_t at = f.offset + i * f.width;
      uint32_t v = 0;
      if (f.width == 1) {
        uint8_t x;
        std::memcpy(&x, src + at, 1);
        v = x;
      } else if (f.width == 2) {
        uint16_t x;
        std::memcpy(&x, src + at, 2);
        v = x;
      } else {
        std::memcpy(&v, src + at, 4);
      }
      for (size_t k = 0; k < f.width; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
    }
  }
  return b;
}

// A record from bytes in device order; `n` must be the record's size.
template <class R>
R FromBytes(const uint8_t* b, size_t n) {
  if (n != sizeof(R))
    throw Exception(std::string(RecordInfo<R>::kName) + " needs " + std::to_string(sizeof(R)) +
                    " bytes, got " + std::to_string(n));
  R r;
  auto* dst = reinterpret_cast<unsigned char*>(&r);
  for (const FieldDesc& f : RecordInfo<R>::kFields) {
    for (size_t i = 0; i < f.count; ++i) {
      const size_t at = f.offset + i * f.width;
      uint32_t v = 0;
      for (size_t k = 0; k < f.width; ++k) v |= static_cast<uint32_t>(b[at + k]) << (8 * k);
      if (f.width == 1) {
        const auto x = static_cast<uint8_t>(v);
        std::memcpy(dst + at, &x, 1);
      } else if (f.width == 2) {
        const auto x = static_cast<uint16_t>(v);
        std::memcpy(dst + at, &x, 2);
      } else {
        std::memcpy(dst + at, &v, 4);
      }
    }
  }
  return r;
}

// The record as register words: word k = byte 2k + 256 * byte 2k+1.
template <class R>
std::vector<uint16_t> ToWords(const R& r) {
  const std::vector<uint8_t> b = ToBytes(r);
  std::vector<uint16_t> w(sizeof(R) / 2);
  for (size_t k = 0; k < w.size(); ++k) w[k] = static_cast<uint16_t>(b[2 * k] | (b[2 * k + 1] << 8));
  return w;
}

// A record from `n` register words; `n` must be the record's register count.
template <class R>
R FromWords(const uint16_t* w, size_t n) {
  if (n != sizeof(R) / 2)
    throw Exception(std::string(RecordInfo<R>::kName) + " needs " + std::to_string(sizeof(R) / 2) +
                    " registers, got " + std::to_string(n));
  std::vector<uint8_t> b(sizeof(R));
  for (size_t k = 0; k < n; ++k) {
    b[2 * k] = static_cast<uint8_t>(w[k] & 0xFF);
    b[2 * k + 1] = static_cast<uint8_t>(w[k] >> 8);
  }
  return FromBytes<R>(b.data(), b.size());
}

template <class R>
R FromWords(const std::vector<uint16_t>& w) {
  return FromWords<R>(w.data(), w.size());
}

// A zeroed record.
template <class R>
R Zeroed() {
  R r;
  std::memset(&r, 0, sizeof r);
  return r;
}

// One "name=value" line per field (arrays as name[i]), for listings and logs.
template <class R>
std::vector<std::string> DumpRecord(const R& r) {
  const std::vector<uint8_t> b = ToBytes(r);
  std::vector<std::string> out;
  for (const FieldDesc& f : RecordInfo<R>::kFields) {
    for (size_t i = 0; i < f.count; ++i) {
      const size_t at = f.offset + i * f.width;
      uint32_t v = 0;
      for (size_t k = 0; k < f.width; ++k) v |= static_cast<uint32_t>(b[at + k]) << (8 * k);
      int64_t sv = v;
      if (f.isSigned && f.width == 2) sv = static_cast<int16_t>(v);
      std::string name = f.name;
      if (f.count > 1) name += "[" + std::to_string(i) + "]";
      out.push_back(name + "=" + std::to_string(sv));
    }
  }
  return out;
}

}  // namespace vex
