#include "core/query/link_lookup.h"

#include <condition_variable>
#include <mutex>

#include "core/text/gbk_literal.h"

namespace tovakin::query {

using namespace text::literals;

namespace {
constexpr std::string_view kIdBox = "编辑框4";
constexpr std::string_view kLinkBox = "编辑框5";
}  // namespace

// What the workers share with the lookup; the controls are reached only
// while `controls` is set, which stop() clears.
struct LinkLookup::Shared {
    std::mutex mutex;
    std::condition_variable idle;
    app::ControlRegistry* controls = nullptr;
    Lookup lookup;
    std::uint64_t latest = 0;  // generation of the latest click
    std::size_t outstanding = 0;
};

LinkLookup::LinkLookup(app::ControlRegistry& controls, platform::Clipboard& clipboard, app::Dialogs& dialogs,
                       Lookup lookup)
    : m_shared(std::make_shared<Shared>()),
      m_clipboard(clipboard),
      m_dialogs(dialogs),
      m_workers(0, 4, std::chrono::seconds(10)) {
    m_shared->controls = &controls;
    m_shared->lookup = std::move(lookup);
}

LinkLookup::~LinkLookup() {
    stop();
}

void LinkLookup::lookup() {
    std::string itemId;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->controls == nullptr) {
            return;
        }
        itemId = m_shared->controls->text(kIdBox);
        generation = ++m_shared->latest;
        ++m_shared->outstanding;
    }
    m_workers.submit([shared = m_shared, generation, itemId = std::move(itemId)] {
        const auto finished = [&shared] {
            std::lock_guard lock(shared->mutex);
            --shared->outstanding;
            shared->idle.notify_all();
        };
        {
            std::lock_guard lock(shared->mutex);
            if (shared->controls == nullptr || generation != shared->latest) {
                --shared->outstanding;
                shared->idle.notify_all();
                return;  // a later click asks already
            }
        }
        std::string link = shared->lookup(itemId);
        {
            std::lock_guard lock(shared->mutex);
            if (shared->controls != nullptr && generation == shared->latest) {
                shared->controls->setText(kLinkBox, std::move(link));
            }
        }
        finished();
    });
}

void LinkLookup::copy() {
    std::string text;
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->controls == nullptr) {
            return;
        }
        text = m_shared->controls->text(kLinkBox);
    }
    if (m_clipboard.setText(text)) {
        m_dialogs.showMessage("信息："_gbk, "复制成功！"_gbk);
    }
}

bool LinkLookup::waitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_shared->mutex);
    return m_shared->idle.wait_for(lock, timeout, [this] { return m_shared->outstanding == 0; });
}

void LinkLookup::stop() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->controls = nullptr;
    }
    m_workers.stop(std::chrono::seconds(1));
}

}  // namespace tovakin::query
