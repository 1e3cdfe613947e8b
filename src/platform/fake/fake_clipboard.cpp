#include "platform/fake/fake_clipboard.h"

namespace tovakin::platform {

bool FakeClipboard::setText(std::string_view gbkText) {
    std::lock_guard lock(m_mutex);
    m_history.emplace_back(gbkText);
    return true;
}

std::string FakeClipboard::text() const {
    std::lock_guard lock(m_mutex);
    return m_history.empty() ? std::string() : m_history.back();
}

std::vector<std::string> FakeClipboard::history() const {
    std::lock_guard lock(m_mutex);
    return m_history;
}

}  // namespace tovakin::platform
