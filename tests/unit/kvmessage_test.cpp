// The message box component behind a box that answers as pressed: the style bits it asks for, and the
// button reported on evResult and then on that button's own outlet. The real box is the program's,
// shown, read and pressed in the end-to-end run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/kvmessage.h"
#include "tests/support/fakes.h"

namespace {

struct Log {
    std::vector<int> seen;  // evResult's value, then 100 + the index of the button outlet fired
    void Record(TData& d, uint16_t index) { seen.push_back(index == 0 ? ToInteger(d) : 100 + index); }
};

TEST(KVMessage, TheBoxGetsItsStyleAndThePressedButtonReachesItsOutlet) {
    const struct {
        uint8_t buttons, icon, defaultButton;
        uint32_t style;
        int32_t press;
        std::vector<int> log;
    } cases[] = {
        {0, 1, 0, 0x10, 1, {1, 101}},   // the program's error box
        {2, 2, 1, 0x124, 7, {7, 107}},  // yes and no, a question, the second the default
        {9, 9, 9, 0, 6, {6, 106}},      // codes out of range add no bits
        {0, 0, 0, 0, 0, {0}},           // no box could be shown: no outlet
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.buttons) << " " << c.press);
        FakeBox box;
        box.press = c.press;
        TKVMessage msg(box);
        msg.Buttons = c.buttons;
        msg.Icon = c.icon;
        msg.DefaultButton = c.defaultButton;
        Log log;
        msg.evResult = MakeEvent<&Log::Record>(&log, 0);
        TKV_Event* outlets[] = {&msg.evOK,     &msg.evCancel, &msg.evAbort, &msg.evRetry,
                                &msg.evIgnore, &msg.evYes,    &msg.evNo};
        for (uint16_t i = 0; i < 7; ++i)
            *outlets[i] = MakeEvent<&Log::Record>(&log, i + 1);
        EnableLinks();
        EmitNull(MakeEvent<&TKVMessage::actMessage>(&msg, 0));
        DisableLinks();
        EXPECT_EQ(box.style, c.style);
        EXPECT_EQ(log.seen, c.log);
    }
}

}  // namespace
