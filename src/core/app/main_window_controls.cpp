#include <array>

#include "core/app/control_description.h"
#include "core/app/control_names.h"

namespace tovakin::app {
namespace {

using K = ControlKind;

constexpr std::array productColumns{
    ColumnSpec{"编号", 80}, ColumnSpec{"单价", 80},     ColumnSpec{"图片链接", 150},
    ColumnSpec{"佣金", 0},  ColumnSpec{"商品名称", 80}, ColumnSpec{"推广链接", 120},
};

constexpr std::array chatWindowColumns{ColumnSpec{"名称", 100}, ColumnSpec{"句柄", 150}};

// Module pages of the U-site shopping-guide platform, kept in the window for
// the operator's reference.
constexpr std::array<std::string_view, 9> uSitePages{
    "http://${usite-host}/view/front/module.php?spm=a2116.2183401.0.0.Bq3xT1&mid=51",
    "http://${usite-host}/view/front/module.php?spm=a2116.2183401.0.0.Lm7cQ2&mid=52",
    "http://${usite-host}/view/front/module.php?spm=a2116.2183401.0.0.Zk4wR3&mid=53",
    "http://${usite-host}/view/front/module.php?spm=a2116.2183401.0.0.Hp9eN4&mid=54",
    "http://${usite-host}/view/front/module.php?spm=a2116.2183401.0.0.Df2uY5&mid=55",
    "http://${usite-host}/view/front/module.php?spm=a2116.2183401.0.0.Vg6sA6&mid=56",
    "http://${usite-host}/view/front/module.php?spm=a2116.2183401.0.0.Jt8bK7&mid=57",
    "http://${usite-host}/view/front/module.php?spm=a2116.2183401.0.0.Wr5nC8&mid=58",
    "http://${usite-host}/view/front/module.php?spm=a2116.2183401.0.0.Qy3mE9&mid=59",
};

constexpr std::string_view announcement =
    "【群公告】欢迎各位亲加入本群！本群每天精选淘宝、天猫优惠商品，全部由群主人工挑选，"
    "价格比店铺页面更实惠。\r\n"
    "一、为什么群里的价格和店铺显示的不一样？群内商品走的是淘宝客推广渠道，部分商品是内部优惠价、"
    "限时折扣或者需要领券后下单，所以店铺页面看到的价格可能比群里高，以实际拍下付款的价格为准。"
    "优惠名额有限，抢完即恢复原价，看中了请尽早下手。\r\n"
    "二、链接打不开怎么办？请先把链接复制到手机淘宝或者浏览器里打开；如果提示商品已下架或者活动已结束，"
    "说明优惠已经被抢光了，请等待下一轮推荐。电脑上打不开时可以换一个浏览器再试，"
    "或者直接在群里@群主，我们会尽快帮您处理。\r\n"
    "三、群规：1.禁止发布任何广告、链接和二维码，违者直接移出本群；2.禁止刷屏、骂人和发布不良信息；"
    "3.对商品有疑问请私聊群主，请勿在群里争吵；4.售后问题请直接联系店铺客服，"
    "通过群内链接购买的商品与店铺直接购买享受同样的售后服务；5.邀请好友进群请先告知群主。\r\n"
    "四、群主每天从早到晚不定时发布优惠信息，建议把本群设置为接收消息但不提醒，有空时翻一翻，"
    "总能找到需要的好东西。觉得本群不错的话，欢迎推荐给身边的亲朋好友。\r\n"
    "今天的优惠就推荐到这里了，感谢大家一天的陪伴，祝各位亲购物愉快，晚安，明天见！";

constexpr std::array controls{
    ControlSpec{.kind = K::Window,
                .name = names::window,
                .parent = "",
                .geometry = {50, 50, 571, 338},
                .text = "Tovakin-7.2"},
    ControlSpec{.kind = K::Timer, .name = names::backupTimer, .parent = names::window, .geometry = {}},
    ControlSpec{.kind = K::EditBox,
                .name = "编辑框_公告",
                .parent = names::window,
                .geometry = {568, 304, 168, 176},
                .text = announcement,
                .hidden = true,
                .multiline = true},
    ControlSpec{.kind = K::Label, .name = "标签4", .parent = names::window, .geometry = {368, 2, 155, 24}},
    ControlSpec{.kind = K::Timer, .name = names::captionTimer, .parent = names::window, .geometry = {}},
    ControlSpec{.kind = K::Button, .name = "按钮5", .parent = names::window, .geometry = {592, 40, 80, 32}},
    ControlSpec{.kind = K::TabControl,
                .name = names::tabControl,
                .parent = names::window,
                .geometry = {2, 8, 566, 304}},

    // Pages, in their order on the tab control.
    ControlSpec{
        .kind = K::TabPage, .name = "获取", .parent = names::tabControl, .geometry = {}, .text = "获取"},
    ControlSpec{.kind = K::TabPage,
                .name = "采集数据",
                .parent = names::tabControl,
                .geometry = {},
                .text = "采集数据"},
    ControlSpec{.kind = K::TabPage,
                .name = "发送信息",
                .parent = names::tabControl,
                .geometry = {},
                .text = "发送信息"},
    ControlSpec{.kind = K::TabPage,
                .name = "自主获取",
                .parent = names::tabControl,
                .geometry = {},
                .text = "自主获取"},
    ControlSpec{.kind = K::TabPage,
                .name = "操作日志",
                .parent = names::tabControl,
                .geometry = {},
                .text = "操作日志"},
    ControlSpec{
        .kind = K::TabPage, .name = "留言", .parent = names::tabControl, .geometry = {}, .text = "留言"},

    // Page "获取".
    ControlSpec{.kind = K::Timer, .name = "时钟4", .parent = "获取", .geometry = {}},
    ControlSpec{.kind = K::GroupBox, .name = "分组框1", .parent = "获取", .geometry = {302, 23, 256, 272}},
    ControlSpec{.kind = K::TransparentLabel,
                .name = names::backupProgressLabel,
                .parent = "分组框1",
                .geometry = {48, 111, 168, 16}},
    ControlSpec{.kind = K::Button,
                .name = "按钮3",
                .parent = "分组框1",
                .geometry = {168, 65, 80, 32},
                .text = "测试按钮",
                .hidden = true},
    ControlSpec{.kind = K::TransparentLabel,
                .name = "透明标签_显示下载图片",
                .parent = "分组框1",
                .geometry = {144, 14, 104, 16}},
    ControlSpec{.kind = K::ProgressBar,
                .name = names::loadProgressBar,
                .parent = "分组框1",
                .geometry = {8, 110, 240, 16}},
    ControlSpec{
        .kind = K::TransparentLabel, .name = "透明标签2", .parent = "分组框1", .geometry = {48, 93, 168, 16}},
    ControlSpec{.kind = K::Button,
                .name = "按钮2",
                .parent = "分组框1",
                .geometry = {188, 161, 64, 110},
                .text = "获取推广地址",
                .disabled = true},
    ControlSpec{.kind = K::Button,
                .name = "按钮_自定义采集",
                .parent = "分组框1",
                .geometry = {8, 215, 180, 55},
                .text = "自定义采集"},
    ControlSpec{.kind = K::Button,
                .name = "按钮1",
                .parent = "分组框1",
                .geometry = {168, 9, 80, 32},
                .hidden = true},
    ControlSpec{
        .kind = K::TransparentLabel, .name = "透明标签1", .parent = "分组框1", .geometry = {48, 77, 168, 16}},
    ControlSpec{.kind = K::EditBox,
                .name = "编辑框2",
                .parent = "分组框1",
                .geometry = {84, 36, 102, 25},
                .hidden = true},
    ControlSpec{.kind = K::PictureBox,
                .name = "图片框2",
                .parent = "分组框1",
                .geometry = {62, 12, 62, 20},
                .hidden = true},
    ControlSpec{.kind = K::Label,
                .name = "标签8",
                .parent = "分组框1",
                .geometry = {14, 9, 48, 24},
                .text = "验证码:",
                .hidden = true},
    ControlSpec{.kind = K::Label,
                .name = "标签1",
                .parent = "分组框1",
                .geometry = {14, 35, 80, 24},
                .text = "输入验证码:",
                .hidden = true},
    ControlSpec{.kind = K::ProgressBar, .name = "进度条7", .parent = "分组框1", .geometry = {8, 38, 240, 16}},
    ControlSpec{.kind = K::ProgressBar, .name = "进度条8", .parent = "分组框1", .geometry = {8, 56, 240, 16}},
    ControlSpec{.kind = K::ProgressBar, .name = "进度条5", .parent = "分组框1", .geometry = {8, 74, 240, 16}},
    ControlSpec{.kind = K::ProgressBar, .name = "进度条6", .parent = "分组框1", .geometry = {8, 93, 240, 16}},
    ControlSpec{.kind = K::Button,
                .name = "按钮_启动获取数据",
                .parent = "分组框1",
                .geometry = {8, 161, 180, 55},
                .text = "获取数据"},
    ControlSpec{.kind = K::ListBox,
                .name = "列表框2",
                .parent = "获取",
                .geometry = {581, 71, 230, 81},
                .items = uSitePages},
    ControlSpec{.kind = K::EditBox,
                .name = "编辑框1",
                .parent = "获取",
                .geometry = {608, 120, 168, 94},
                .hidden = true},
    ControlSpec{.kind = K::Panel, .name = "画板1", .parent = "获取", .geometry = {3, 23, 291, 265}},
    ControlSpec{.kind = K::WebBrowser,
                .name = "超文本浏览框1",
                .parent = "画板1",
                .geometry = {-560, -113, 903, 400},
                .text = "http://${affiliate-web-host}/member/login.htm?spm=0.0.0.0.JA0i7S"},

    // Page "采集数据".
    ControlSpec{.kind = K::WebBrowser,
                .name = "超文本浏览框3",
                .parent = "采集数据",
                .geometry = {568, 296, 568, 256},
                .text = "http://${item-info-host}/admin/itemimport/1/",
                .hidden = true},
    ControlSpec{.kind = K::ReportListView,
                .name = names::productTable,
                .parent = "采集数据",
                .geometry = {9, 30, 548, 263},
                .columns = productColumns},

    // Page "发送信息".
    ControlSpec{.kind = K::Panel, .name = "画板4", .parent = "发送信息", .geometry = {390, 96, 160, 160}},
    ControlSpec{.kind = K::PictureBox, .name = "图片框1", .parent = "画板4", .geometry = {2, 16, 160, 160}},
    ControlSpec{.kind = K::Timer, .name = "时钟_是否重启", .parent = "发送信息", .geometry = {}},
    ControlSpec{.kind = K::EditBox,
                .name = "编辑框_消息内容",
                .parent = "发送信息",
                .geometry = {38, 72, 192, 160},
                .hidden = true,
                .multiline = true},
    ControlSpec{.kind = K::CheckBox,
                .name = "选择框2",
                .parent = "发送信息",
                .geometry = {144, 268, 141, 24},
                .text = "启动六小时重启",
                .disabled = true},
    ControlSpec{.kind = K::EditBox,
                .name = "编辑框7",
                .parent = "发送信息",
                .geometry = {75, 269, 33, 20},
                .text = "0"},
    ControlSpec{.kind = K::CheckBox,
                .name = "选择框1",
                .parent = "发送信息",
                .geometry = {7, 268, 127, 24},
                .text = "自动关机       时",
                .checked = true},
    ControlSpec{.kind = K::Label, .name = "标签7", .parent = "发送信息", .geometry = {390, 264, 168, 24}},
    ControlSpec{.kind = K::Button,
                .name = names::startBroadcastButton,
                .parent = "发送信息",
                .geometry = {292, 204, 93, 90},
                .text = "启动程序",
                .disabled = true},
    ControlSpec{
        .kind = K::ProgressBar, .name = "进度条9", .parent = "发送信息", .geometry = {390, 61, 168, 21}},
    ControlSpec{.kind = K::EditBox,
                .name = "编辑框6",
                .parent = "发送信息",
                .geometry = {436, 31, 80, 20},
                .text = "15"},
    ControlSpec{.kind = K::Label,
                .name = "标签5",
                .parent = "发送信息",
                .geometry = {404, 29, 144, 24},
                .text = "延迟：              秒"},
    ControlSpec{.kind = K::Button,
                .name = names::arrangeButton,
                .parent = "发送信息",
                .geometry = {292, 114, 93, 90},
                .text = "排列位置",
                .disabled = true},
    ControlSpec{.kind = K::Button,
                .name = names::findChatWindowsButton,
                .parent = "发送信息",
                .geometry = {292, 25, 93, 90},
                .text = "获取句柄",
                .disabled = true},
    ControlSpec{.kind = K::ReportListView,
                .name = names::chatWindowTable,
                .parent = "发送信息",
                .geometry = {6, 24, 280, 240},
                .columns = chatWindowColumns},

    // Page "自主获取".
    ControlSpec{.kind = K::ListBox, .name = "列表框3", .parent = "自主获取", .geometry = {7, 208, 551, 88}},
    ControlSpec{.kind = K::TcpServer, .name = "服务器1", .parent = "自主获取", .geometry = {}},
    ControlSpec{.kind = K::GroupBox,
                .name = "分组框2",
                .parent = "自主获取",
                .geometry = {9, 33, 549, 168},
                .text = "查询返利网址"},
    ControlSpec{.kind = K::EditBox, .name = "编辑框4", .parent = "分组框2", .geometry = {74, 35, 80, 20}},
    ControlSpec{.kind = K::Label,
                .name = "标签3",
                .parent = "分组框2",
                .geometry = {16, 32, 80, 24},
                .text = "商品编码："},
    ControlSpec{.kind = K::Button,
                .name = "按钮8",
                .parent = "分组框2",
                .geometry = {163, 29, 80, 32},
                .text = "查询"},
    ControlSpec{.kind = K::Button,
                .name = "按钮9",
                .parent = "分组框2",
                .geometry = {498, 72, 40, 88},
                .text = "复制信息"},
    ControlSpec{.kind = K::EditBox,
                .name = "编辑框5",
                .parent = "分组框2",
                .geometry = {7, 72, 486, 88},
                .multiline = true},

    // Page "操作日志".
    ControlSpec{.kind = K::EditBox,
                .name = names::logBox,
                .parent = "操作日志",
                .geometry = {7, 26, 553, 271},
                .multiline = true},

    // Page "留言".
    ControlSpec{.kind = K::Panel, .name = "画板2", .parent = "留言", .geometry = {457, 48, 104, 28}},
};

}  // namespace

std::span<const ControlSpec> mainWindowControls() {
    return controls;
}

std::string_view controlKindName(ControlKind kind) {
    switch (kind) {
        case K::Window:
            return "window";
        case K::TabControl:
            return "tab control";
        case K::TabPage:
            return "tab page";
        case K::Timer:
            return "timer";
        case K::Button:
            return "button";
        case K::CheckBox:
            return "check box";
        case K::EditBox:
            return "edit box";
        case K::Label:
            return "label";
        case K::TransparentLabel:
            return "transparent label";
        case K::GroupBox:
            return "group box";
        case K::Panel:
            return "panel";
        case K::ProgressBar:
            return "progress bar";
        case K::ListBox:
            return "list box";
        case K::ReportListView:
            return "report list view";
        case K::PictureBox:
            return "picture box";
        case K::WebBrowser:
            return "embedded web browser";
        case K::TcpServer:
            return "TCP server";
    }
    return "unknown";
}

}  // namespace tovakin::app
