#pragma once

#include <string>
#include <string_view>

namespace tovakin::platform {

// The system clipboard as core sees it. Texts are GBK; a backend converts.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's content with a plain text; false when the
    // clipboard could not be taken.
    virtual bool setText(std::string_view gbkText) = 0;
    virtual std::string text() const = 0;
};

}  // namespace tovakin::platform
