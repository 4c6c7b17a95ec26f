// Web engine notifications recorded for tests, with a switch that makes every navigation be cancelled.
#pragma once

#include <string>
#include <vector>

#include "toolkit/web_engine.h"

class RecordingEvents final : public tk::WebEngineEvents {
  public:
    virtual ~RecordingEvents() = default;
    bool OnBeforeNavigate(const std::string& url) noexcept override {
        before.push_back(url);
        return cancel;
    }
    void OnDocumentComplete(const std::string& url) noexcept override { completed.push_back(url); }

    bool cancel = false;
    std::vector<std::string> before;
    std::vector<std::string> completed;
};
