#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/clipboard.h"

namespace tovakin::platform {

// Records every text put on it, for tests and headless runs.
class FakeClipboard final : public Clipboard {
public:
    bool setText(std::string_view gbkText) override;
    std::string text() const override;
    std::vector<std::string> history() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_history;
};

}  // namespace tovakin::platform
