#pragma once

#include <string>

#include "core/app/control_registry.h"
#include "core/app/product_table.h"
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

}  // namespace tovakin::testing
