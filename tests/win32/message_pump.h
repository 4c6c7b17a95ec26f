// Bounded message pumps for the Win32 tests: every wait ends by itself, so a stray dialog fails a test
// instead of hanging it.
#pragma once

#include <windows.h>

#include <functional>

namespace testsupport {

using MessageObserver = void (*)(const MSG& msg);

// Dispatches the messages waiting on this thread; `observe` sees each one before it is dispatched.
void DispatchPending(MessageObserver observe = nullptr);
// Dispatches messages (timer ticks included) until `done` holds or `ms` milliseconds pass; true when it held.
bool PumpUntil(const std::function<bool()>& done, DWORD ms, MessageObserver observe = nullptr);
// Dispatches whatever arrives for `ms` milliseconds.
void PumpFor(DWORD ms, MessageObserver observe = nullptr);

}  // namespace testsupport
