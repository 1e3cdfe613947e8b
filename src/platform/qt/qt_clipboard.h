#pragma once

#include "platform/clipboard.h"

namespace tovakin::platform {

// The desktop clipboard through Qt. Qt's clipboard belongs to the GUI thread,
// so calls from other threads are carried out there (the caller waits; the
// GUI thread never waits for core, so this cannot deadlock).
class QtClipboard final : public Clipboard {
public:
    bool setText(std::string_view gbkText) override;
    std::string text() const override;
};

}  // namespace tovakin::platform
