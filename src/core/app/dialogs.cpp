#include "core/app/dialogs.h"

#include <iostream>

#include "platform/text_codec.h"

namespace tovakin::app {

LoggingDialogs::LoggingDialogs(std::ostream& out) : m_out(out) {}

void LoggingDialogs::showMessage(const std::string& title, const std::string& text) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back({title, text});
    m_out << platform::gbkToUtf8(title) << ": " << platform::gbkToUtf8(text) << std::endl;
}

std::vector<LoggingDialogs::Message> LoggingDialogs::messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

Dialogs& stderrDialogs() {
    static LoggingDialogs dialogs(std::cerr);
    return dialogs;
}

}  // namespace tovakin::app
