#include "message_pump.h"

namespace testsupport {

void DispatchPending(MessageObserver observe) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (observe) observe(msg);
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms, MessageObserver observe) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        DispatchPending(observe);
        if (done()) return true;
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= ms) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent < 10 ? ms - spent : 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms, MessageObserver observe) {
    PumpUntil([] { return false; }, ms, observe);
}

}  // namespace testsupport
