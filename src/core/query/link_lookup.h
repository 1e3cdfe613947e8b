#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "core/app/control_registry.h"
#include "core/app/dialogs.h"
#include "core/query/worker_pool.h"
#include "platform/clipboard.h"

// The operator's lookup of one promotion link by hand: "查询" (按钮8) asks the
// platform for the id in 编辑框4 and shows the link in 编辑框5; "复制信息"
// (按钮9) copies 编辑框5. The request runs on a worker, so the window stays
// live while the platform answers. When the operator asks again before an
// answer came, the answer to the latest click is the one shown: an older
// answer arriving later is dropped, and an older request not yet sent is
// not sent at all.
namespace tovakin::query {

class LinkLookup {
public:
    // Turns an item id into the text for 编辑框5 (the link conversion,
    // whatever lies between its markers); runs on a worker thread.
    using Lookup = std::function<std::string(const std::string& itemId)>;

    LinkLookup(app::ControlRegistry& controls, platform::Clipboard& clipboard, app::Dialogs& dialogs,
               Lookup lookup);
    ~LinkLookup();  // stop()
    LinkLookup(const LinkLookup&) = delete;
    LinkLookup& operator=(const LinkLookup&) = delete;

    // Click on 按钮8: takes the text of 编辑框4 as it stands (not trimmed).
    void lookup();
    // Click on 按钮9.
    void copy();

    // Waits until no lookup is queued or running; false when `timeout` passed first.
    bool waitUntilIdle(std::chrono::milliseconds timeout);
    // No result is written after this; a request still running ends on its own.
    void stop();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    platform::Clipboard& m_clipboard;
    app::Dialogs& m_dialogs;
    WorkerPool m_workers;
};

}  // namespace tovakin::query
