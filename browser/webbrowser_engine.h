// The web engine of the program: the WebBrowser ActiveX control (IWebBrowser2), embedded in place in the
// box's window by a small client site of our own, with its DWebBrowserEvents2 events fed to the box.
#pragma once

#include "toolkit/web_engine.h"

#include <memory>

namespace browser {

// A new, not yet created engine; suitable as a tk::WebEngineFactory. Needs OLE initialised on the GUI thread.
std::unique_ptr<tk::WebEngine> CreateWebBrowserEngine();

}  // namespace browser
