#pragma once
// Small sets of enumeration members, stored as a bit mask (members 0 to 63).
#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace fw {

template <class E>
class TSet {
  static_assert(std::is_enum_v<E>);

 public:
  using Element = E;
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> members) {
    for (E e : members) bits_ |= Bit(e);
  }
  static constexpr TSet FromMask(std::uint64_t mask) {
    TSet s;
    s.bits_ = mask;
    return s;
  }
  constexpr std::uint64_t Mask() const { return bits_; }

  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSet& Include(E e) {
    bits_ |= Bit(e);
    return *this;
  }
  constexpr TSet& Exclude(E e) {
    bits_ &= ~Bit(e);
    return *this;
  }
  constexpr TSet operator+(TSet o) const { return FromMask(bits_ | o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromMask(bits_ & ~o.bits_); }
  constexpr TSet operator*(TSet o) const { return FromMask(bits_ & o.bits_); }
  constexpr TSet& operator+=(TSet o) {
    bits_ |= o.bits_;
    return *this;
  }
  constexpr TSet& operator-=(TSet o) {
    bits_ &= ~o.bits_;
    return *this;
  }
  constexpr TSet& operator*=(TSet o) {
    bits_ &= o.bits_;
    return *this;
  }
  constexpr bool operator==(const TSet&) const = default;
  // a <= b: every member of a is in b.
  constexpr bool operator<=(TSet o) const { return (bits_ & ~o.bits_) == 0; }

 private:
  static constexpr std::uint64_t Bit(E e) { return std::uint64_t{1} << static_cast<unsigned>(e); }
  std::uint64_t bits_ = 0;
};

template <class T>
struct IsSet : std::false_type {};
template <class E>
struct IsSet<TSet<E>> : std::true_type {};

}  // namespace fw
