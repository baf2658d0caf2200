// The edge of the export table. No exception may leave the library (hosts are C programs and
// other languages), so every export runs its body through GuardExport with the result its
// documentation gives for a failure: internet errors, memory running out, anything else.
#pragma once
#include <utility>

namespace vialto::platform {

// body(), or onFailure when it throws.
template <typename Result, typename Body>
Result GuardExport(Result onFailure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return onFailure;
  }
}

// For exports with no result: a failure leaves what was done so far.
template <typename Body>
void GuardExport(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
  }
}

}  // namespace vialto::platform
