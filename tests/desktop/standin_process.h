#pragma once

#include <QProcess>
#include <QStringList>
#include <QTest>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/text_codec.h"
#include "platform/x11/x11_desktop.h"

namespace tovakin::testing {

// One stand-in chat client process with its group windows; ended (by its own
// process id) when the object goes.
class StandInProcess {
public:
    StandInProcess(const QStringList& groups, const QString& size, const QString& transcript = {}) {
        QStringList args{QStringLiteral("--size"), size};
        if (!transcript.isEmpty()) {
            args << QStringLiteral("--transcript") << transcript;
        }
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(TOVAKIN_CHAT_STANDIN), args + groups);
        m_process.waitForStarted();
    }
    ~StandInProcess() { stop(); }
    StandInProcess(const StandInProcess&) = delete;
    StandInProcess& operator=(const StandInProcess&) = delete;

    void stop() {
        if (m_process.state() == QProcess::NotRunning) {
            return;
        }
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
};

// Keeps this process's events running (it may own the clipboard) until the
// condition holds; false when it did not within the limit.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QTest::qWait(20);
    }
    return true;
}

// The visible windows by UTF-8 title.
inline std::map<std::string, platform::WindowHandle> windowsByTitle(platform::X11Desktop& desktop) {
    std::map<std::string, platform::WindowHandle> found;
    for (const platform::WindowRecord& record : desktop.topLevelWindows()) {
        found.emplace(platform::gbkToUtf8(record.title), record.handle);
    }
    return found;
}

// The handles of the windows with these UTF-8 titles, once all are there (else fewer).
inline std::map<std::string, platform::WindowHandle> waitForWindows(platform::X11Desktop& desktop,
                                                                    const std::vector<std::string>& titles) {
    std::map<std::string, platform::WindowHandle> found;
    waitUntil([&] {
        found.clear();
        const auto all = windowsByTitle(desktop);
        for (const std::string& wanted : titles) {
            if (const auto it = all.find(wanted); it != all.end()) {
                found.insert(*it);
            }
        }
        return found.size() == titles.size();
    });
    return found;
}

}  // namespace tovakin::testing
