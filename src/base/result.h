// Results that are looked at: the operations of the base and platform layers
// are [[nodiscard]]. A caller that deliberately goes on whatever happened
// (best-effort clean-up, a refresh that may fail) says so with Ignore().
#pragma once

namespace ek {

template <typename T>
constexpr void Ignore(T&&) noexcept {}

}  // namespace ek
