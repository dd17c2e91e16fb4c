// Message box over a fake platform: style bits, where text and caption come from, and the order of
// evResult and the button outlet.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/kvmessage.h"

#include "tests/unit/testdata.h"

namespace {

class FakeBox final : public TMessageBoxService {
public:
    int32_t answer = kResultOK;
    std::vector<std::string> texts, captions;
    std::vector<uint32_t> styles;
    int32_t Show(const std::string& text, const std::string& caption, uint32_t style) override {
        texts.push_back(text);
        captions.push_back(caption);
        styles.push_back(style);
        return answer;
    }
};

struct Log {
    std::vector<std::string> seen;
    void result(TData& d, uint16_t /*index*/) { seen.push_back("result " + ToString(d)); }
    void button(TData& d, uint16_t index) {
        seen.push_back("button " + std::to_string(index) + (DataType(d) == kTypeNull ? " null" : " value"));
    }
    void text(TData& d, uint16_t /*index*/) { SetString(d, "pinned text"); }
};

class Message : public LinkedTest {};

TEST_F(Message, StyleBits) {
    const struct {
        uint8_t buttons, icon, def;
        uint32_t style;
    } cases[] = {
        {0, 1, 0, 0x10},   // the program's error box
        {0, 4, 2, 0x240},  // the program's about box
        {1, 2, 1, 0x121}, {2, 3, 0, 0x34}, {3, 0, 2, 0x203},
        {4, 4, 1, 0x145}, {5, 0, 0, 0x2},  {0, 9, 0, 0x0},  // an icon outside the table adds nothing
        {6, 1, 3, 0x10},                                    // nor do buttons and a default outside theirs
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.buttons) << " " << int(c.icon) << " " << int(c.def));
        FakeBox box;
        TKVMessage msg(box);
        msg.Buttons = c.buttons;
        msg.Icon = c.icon;
        msg.DefaultButton = c.def;
        EmitNull(MakeEvent<&TKVMessage::actMessage>(&msg, 0));
        ASSERT_EQ(box.styles.size(), 1u);
        EXPECT_EQ(box.styles[0], c.style);
    }
}

TEST_F(Message, ResultThenItsButtonAfterTheActionReturns) {
    for (int32_t answer = 0; answer <= 8; ++answer) {
        SCOPED_TRACE(answer);
        FakeBox box;
        box.answer = answer;
        TKVMessage msg(box);
        Log log;
        msg.evResult = MakeEvent<&Log::result>(&log, 0);
        TKV_Event* outlets[] = {&msg.evOK,     &msg.evCancel, &msg.evAbort, &msg.evRetry,
                                &msg.evIgnore, &msg.evYes,    &msg.evNo};
        for (uint16_t i = 0; i < 7; ++i)
            *outlets[i] = MakeEvent<&Log::button>(&log, i + 1);
        EmitStr(MakeEvent<&TKVMessage::actMessage>(&msg, 0), "x");
        std::vector<std::string> expected = {"result " + std::to_string(answer)};
        // 0 (no box) and codes the platform never gives fire nothing more.
        if (answer >= 1 && answer <= 7) expected.push_back("button " + std::to_string(answer) + " null");
        EXPECT_EQ(log.seen, expected);
    }
}

TEST_F(Message, WhereTextAndCaptionComeFrom) {
    const struct {
        const char* name;
        bool pin;
        const char* message;
        const char* caption;
        TData incoming;
        const char* text;
        const char* shownCaption;
    } cases[] = {
        {"defaults", false, "M", "C", Str("in"), "M", "C"},
        {"pin wins over the default", true, "M", "C", Str("in"), "pinned text", "C"},
        {"text takes the incoming value", false, "", "C", Str("in"), "in", "C"},
        {"caption takes what the text left", false, "M", "", Str("in"), "M", "in"},
        {"the incoming value is used once", false, "", "", Str("in"), "in", ""},
        {"null incoming: both empty", false, "", "", TData{}, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeBox box;
        TKVMessage msg(box);
        Log log;
        if (c.pin) msg.pinMessage = MakeEvent<&Log::text>(&log, 0);
        msg.Message = c.message;
        msg.Caption = c.caption;
        TData d = c.incoming;
        Emit(MakeEvent<&TKVMessage::actMessage>(&msg, 0), d);
        ASSERT_EQ(box.texts.size(), 1u);
        EXPECT_EQ(box.texts[0], c.text);
        EXPECT_EQ(box.captions[0], c.shownCaption);
    }
}

}  // namespace
