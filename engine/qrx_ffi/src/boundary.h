// Fault containment shared by every exported function.
#pragma once

#include <qrx_ffi/host.h>

#include <exception>
#include <new>

namespace quorvix {

// Drops the word being composed after a fault, so that whatever state the fault left half
// made cannot reach the next key. A fault of the reset itself is discarded too.
inline void reset_after_fault(QrxSession* handle) noexcept {
  if (handle == nullptr) return;
  handle->key_replace_units.reset();
  try {
    handle->session.reset();
  } catch (const std::bad_alloc&) {
    std::terminate();
  } catch (...) {
  }
}

// Runs `body`; an internal fault (any exception) becomes `neutral` after resetting the
// handle's composition. Running out of memory is no fault to recover from: the process ends.
template <class T, class Body>
T contain(QrxSession* handle, T neutral, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    std::terminate();
  } catch (...) {
    reset_after_fault(handle);
    return neutral;
  }
}

// The same for functions without a result.
template <class Body>
void contain_void(QrxSession* handle, Body&& body) noexcept {
  contain(handle, 0, [&] {
    body();
    return 0;
  });
}

}  // namespace quorvix
