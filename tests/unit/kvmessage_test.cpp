// Message box over a fake platform: what the real box cannot show (a box that failed to appear, a
// result code the platform never gives) and where an empty caption takes its text from.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "components/kvmessage.h"

#include "tests/unit/testdata.h"

namespace {

struct FakeBox final : TMessageBoxService {
    int32_t answer = 0;
    std::string shown;
    int32_t Show(const std::string& text, const std::string& caption, uint32_t style) override {
        shown = caption + "|" + text + "|" + std::to_string(style);
        return answer;
    }
};

struct Log {
    std::vector<int32_t> seen;
    void Record(TData& d, uint16_t index) { seen.push_back(index == 0 ? ToInteger(d) : 100 + index); }
};

class Message : public LinkedTest {};

TEST_F(Message, ResultsOutsideTheButtonsFireOnlyEvResult) {
    for (const auto& [answer, caption, expected] : {std::tuple{0, "", std::vector<int32_t>{0}},
                                                    {8, "C", std::vector<int32_t>{8}},
                                                    {6, "", std::vector<int32_t>{6, 106}}}) {
        FakeBox box;
        box.answer = answer;
        TKVMessage msg(box);
        msg.Message = "M";
        msg.Caption = caption;
        msg.Icon = 1;
        Log log;
        msg.evResult = MakeEvent<&Log::Record>(&log, 0);
        msg.evYes = MakeEvent<&Log::Record>(&log, 6);
        msg.evNo = MakeEvent<&Log::Record>(&log, 7);
        EmitStr(MakeEvent<&TKVMessage::actMessage>(&msg, 0), "in");
        EXPECT_EQ(log.seen, expected) << answer;
        // An empty caption with its pin unlinked takes the incoming value the text left.
        EXPECT_EQ(box.shown, std::string(*caption != 0 ? caption : "in") + "|M|16");
    }
}

}  // namespace
