#include "core/app/date_texts.h"

#include <gtest/gtest.h>

#include "platform/text_codec.h"

namespace tovakin::app {
namespace {

TEST(DateTexts, EveryStyle) {
    const LocalTime day{2014, 8, 16, 9, 5, 7};
    struct Case {
        int style;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {0, "2014年8月16日", "9时5分7秒"},
        {1, "2014-8-16", "9:5:7"},
        {2, "2014/8/16", "9-5-7"},
        {3, "2014816", "9/5/7"},
        {4, "", ""},
        {-1, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::gbkToUtf8(dateText(c.style, day)), c.date) << c.style;
        EXPECT_EQ(platform::gbkToUtf8(timeText(c.style, day)), c.time) << c.style;
    }
    EXPECT_EQ(timestampText(day), "2014-8-16 9:05:07");
}

TEST(DateTexts, NewYearMidnightHasNoLeadingZerosButTwoDigitMinutes) {
    const LocalTime midnight{2015, 1, 1, 0, 0, 0};
    EXPECT_EQ(dateText(1, midnight), "2015-1-1");
    EXPECT_EQ(timeText(3, midnight), "0/0/0");
    EXPECT_EQ(timestampText(midnight), "2015-1-1 0:00:00");
    EXPECT_EQ(timestampText({2015, 12, 31, 23, 59, 9}), "2015-12-31 23:59:09");
}

TEST(DateTexts, DateTimeTextLeavesOutTrailingZeroParts) {
    const struct {
        LocalTime moment;
        const char* text;
    } cases[] = {
        {{2014, 8, 16, 14, 5, 30}, "2014年8月16日14时5分30秒"},
        {{2014, 8, 16, 14, 5, 0}, "2014年8月16日14时5分"},
        {{2014, 8, 16, 14, 0, 0}, "2014年8月16日14时"},
        {{2014, 8, 16, 14, 0, 30}, "2014年8月16日14时0分30秒"},
        {{2014, 8, 16, 0, 0, 0}, "2014年8月16日"},
        {{2014, 8, 16, 0, 0, 7}, "2014年8月16日0时0分7秒"},
        {{2014, 8, 16, 0, 30, 0}, "2014年8月16日0时30分"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::gbkToUtf8(dateTimeText(c.moment)), c.text);
    }
}

TEST(DateTexts, ParsesOnlyRealMoments) {
    EXPECT_EQ(parseLocalTime("2014-08-16 09:05:07"), (LocalTime{2014, 8, 16, 9, 5, 7}));
    EXPECT_TRUE(parseLocalTime("2016-02-29 00:00:00"));
    for (const char* bad : {"2015-02-29 00:00:00", "2014-13-01 00:00:00", "2014-8-16 9:05:07",
                            "2014-08-16 24:00:00", "2014-08-16T09:05:07", ""}) {
        EXPECT_FALSE(parseLocalTime(bad)) << bad;
    }
}

}  // namespace
}  // namespace tovakin::app
