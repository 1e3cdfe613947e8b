#pragma once

#include <sstream>
#include <string>

#include "core/app/application.h"
#include "core/app/control_registry.h"
#include "core/app/dialogs.h"
#include "core/app/product_table.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/fake/fake_desktop.h"
#include "platform/text_codec.h"

namespace tovakin::testing {

// The controls of the main window, texts converted as the application does.
inline app::ControlRegistry mainWindowRegistry() {
    return app::ControlRegistry(app::mainWindowControls(),
                                [](std::string_view text) { return platform::utf8ToGbk(text); });
}

// A product whose every cell names it, so a mixed-up row is easy to spot.
inline app::ProductRow productNamed(const std::string& id, bool withCommission = true) {
    return {id,
            id + ".90",
            "http://img/" + id + ".jpg",
            withCommission ? id + "%" : "",
            "title-" + id,
            "http://s.click/" + id};
}

// The fake surroundings of an application: a clock at 16 August 2014 9:05:07
// (tests may set another), a clipboard that records, a desktop without
// windows, dialogs that are logged. Fixtures derive from it.
struct FakeServices {
    platform::FakeClock clock{{2014, 8, 16, 9, 5, 7}};
    platform::FakeClipboard clipboard;
    platform::FakeDesktop desktop;
    std::ostringstream dialogLog;
    app::LoggingDialogs dialogs{dialogLog};

    app::AppServices services() { return {clock, clipboard, desktop, dialogs}; }
};

}  // namespace tovakin::testing
