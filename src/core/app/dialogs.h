#pragma once

#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

// The information boxes core shows to the operator. The GUI shows them as
// message boxes owned by the main window; headless runs log them.
namespace tovakin::app {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // `title` and `text` are GBK. May be called from any thread.
    virtual void showMessage(const std::string& title, const std::string& text) = 0;
};

// Writes each message as one UTF-8 line "title: text" and keeps it for inspection.
class LoggingDialogs : public Dialogs {
public:
    struct Message {
        std::string title;
        std::string text;
    };

    explicit LoggingDialogs(std::ostream& out);
    void showMessage(const std::string& title, const std::string& text) override;
    std::vector<Message> messages() const;

private:
    std::ostream& m_out;
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
};

// The process's logging instance on standard error, for code given no dialogs of its own.
Dialogs& stderrDialogs();

}  // namespace tovakin::app
