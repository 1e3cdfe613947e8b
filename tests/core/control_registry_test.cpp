#include "core/app/control_registry.h"

#include <gtest/gtest.h>

#include <set>

#include "core/app/control_names.h"
#include "platform/text_codec.h"

namespace tovakin::app {
namespace {

ControlRegistry mainWindowRegistry() {
    return ControlRegistry(mainWindowControls(),
                           [](std::string_view text) { return platform::utf8ToGbk(text); });
}

TEST(ControlTable, PagesInOrderAndEveryParentDeclaredFirst) {
    std::vector<std::string_view> pages;
    std::set<std::string_view> seen;
    for (const ControlSpec& spec : mainWindowControls()) {
        if (spec.kind == ControlKind::TabPage) {
            EXPECT_EQ(spec.parent, names::tabControl);
            pages.push_back(spec.name);
        }
        if (spec.kind != ControlKind::Window) {
            EXPECT_TRUE(seen.contains(spec.parent)) << spec.name << " before its parent " << spec.parent;
        }
        EXPECT_TRUE(seen.insert(spec.name).second) << "twice: " << spec.name;
    }
    EXPECT_EQ(pages, (std::vector<std::string_view>{"获取", "采集数据", "发送信息", "自主获取", "操作日志",
                                                    "留言"}));
}

TEST(ControlRegistry, InitialStatesFromTheTable) {
    const ControlRegistry controls = mainWindowRegistry();
    struct Case {
        std::string_view name;
        const char* text;
        bool enabled;
        bool visible;
        bool checked;
    };
    const Case cases[] = {
        {"窗口", "Tovakin-7.2", true, true, false},
        {"按钮2", "获取推广地址", false, true, false},
        {"按钮_获取句柄", "获取句柄", false, true, false},
        {"按钮_排列位置", "排列位置", false, true, false},
        {"按钮_启动程序", "启动程序", false, true, false},
        {"选择框2", "启动六小时重启", false, true, false},
        {"选择框1", "自动关机       时", true, true, true},
        {"按钮3", "测试按钮", true, false, false},
        {"编辑框6", "15", true, true, false},
        {"编辑框7", "0", true, true, false},
        {"标签5", "延迟：              秒", true, true, false},
        {"按钮_启动获取数据", "获取数据", true, true, false},
        {"分组框2", "查询返利网址", true, true, false},
    };
    for (const Case& c : cases) {
        const ControlState state = controls.state(controls.id(c.name));
        EXPECT_EQ(platform::gbkToUtf8(state.text), c.text) << c.name;
        EXPECT_EQ(state.enabled, c.enabled) << c.name;
        EXPECT_EQ(state.visible, c.visible) << c.name;
        EXPECT_EQ(state.checked, c.checked) << c.name;
    }
    EXPECT_EQ(controls.state(controls.id("列表框2")).items.size(), 9u);
    for (const char* timer : {"时钟2", "时钟3", "时钟4", "时钟_是否重启"}) {
        EXPECT_EQ(controls.timerPeriod(controls.id(timer)), 0) << timer;
    }
}

TEST(ControlRegistry, NotifiesRealChangesOnlyAndRejectsUnknownNames) {
    ControlRegistry controls = mainWindowRegistry();
    std::vector<std::pair<ControlId, ControlProperty>> heard;
    const auto token =
        controls.addListener([&](ControlId id, ControlProperty p) { heard.emplace_back(id, p); });
    const ControlId log = controls.id(names::logBox);
    controls.appendLine(log, "one");
    controls.appendLine(log, "two");
    controls.setEnabled(log, true);  // already enabled: no change
    EXPECT_EQ(controls.text(log), "one\r\ntwo");
    EXPECT_EQ(heard.size(), 2u);
    controls.removeListener(token);
    controls.setText(log, "");
    EXPECT_EQ(heard.size(), 2u);
    EXPECT_THROW(controls.id("no such control"), std::invalid_argument);
}

}  // namespace
}  // namespace tovakin::app
