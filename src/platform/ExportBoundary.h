// The edge of the export table. No exception may leave the library (hosts are C programs and
// other languages), so every export runs its body through GuardExport with the result its
// documentation gives for a failure: internet errors, memory running out, anything else.
#pragma once
#include <utility>

// The assembler name of an export, for aliases of one export under a second name: 32-bit Windows
// decorates the standard convention's names with their argument bytes.
#if defined(_WIN32) && defined(__i386__)
#define VIALTO_EXPORT_SYMBOL(name, argumentBytes) #name "@" #argumentBytes
#else
#define VIALTO_EXPORT_SYMBOL(name, argumentBytes) #name
#endif

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
