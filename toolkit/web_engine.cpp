#include "toolkit/web_engine.h"

namespace tk {

namespace {
// Everything runs on the GUI thread, so a plain pointer is enough.
WebEngineFactory g_factory = nullptr;
}  // namespace

void SetWebEngineFactory(WebEngineFactory factory) noexcept {
    g_factory = factory;
}

std::unique_ptr<WebEngine> CreateWebEngine() noexcept {
    if (!g_factory) return nullptr;
    try {
        return g_factory();
    } catch (...) {
        // A factory that runs out of memory leaves the box without an engine, as a failed Create would.
        return nullptr;
    }
}

}  // namespace tk
