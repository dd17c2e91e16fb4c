// Run-time errors and the command line: the numbers a fault gets, the report's text, how the error
// output splits it into boxes, and which first argument the program sees.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cmdline.h"
#include "support/runerror.h"

namespace {

TEST(RunError, FaultNumbers) {
    const struct {
        uint32_t code, sse;
        uint16_t number;
    } cases[] = {
        // The SSE unit's one code split by its status flags; one code of the table, a C++ exception
        // nobody caught, and a code nobody knows (the table's other rows would only copy it).
        {0xC00002B5, 0x04, 200}, {0xC00002B5, 0x08, 205}, {0xC00002B5, 0x10, 206}, {0xC00002B5, 0x01, 207},
        {0xC0000094, 0, 200},    {0x20474343, 0, 217},    {0x12345678, 0, 255},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorNumberOf(c.code, c.sse), c.number) << std::hex << c.code;
}

TEST(RunError, ReportTakesTwoDigitsPerAddressByte) {
    const uintptr_t callers[] = {0x401234, 0x4015AB};
    const std::string pad(sizeof(uintptr_t) * 2 - 8, '0');
    EXPECT_EQ(FormatReport(200, 0x401000, callers, 2), "Runtime error 200 at $" + pad + "00401000\r\n  $" +
                                                           pad + "00401000\r\n  $" + pad + "00401234\r\n  $" +
                                                           pad + "004015AB\r\n\r\n");
}

std::vector<std::string> boxes;
void Collect(std::string_view text) {
    boxes.emplace_back(text);
}

TEST(RunError, OutputShowsEachReportAndSplitsLongText) {
    TErrorOutput out(&Collect);
    out.Write("Runtime error 216 at $00401000\r\n");
    EXPECT_TRUE(boxes.empty());  // one line end is not the end of a report
    out.Write("\r\n");
    ASSERT_EQ(boxes.size(), 1u);
    out.Write(std::string(2500, 'x'));
    out.Close();
    out.Close();  // nothing left to show
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0], "Runtime error 216 at $00401000\r\n\r\n");
    EXPECT_EQ(boxes[1].size(), TErrorOutput::kSize);
    EXPECT_EQ(boxes[3].size(), 2500 - 2 * TErrorOutput::kSize);
}

int procOrder = 0, firstRan = 0, secondRan = 0;
TEST(RunError, ExitProcsRunNewestFirstAndOnce) {
    AddExitProc([] { firstRan = ++procOrder; });
    AddExitProc([] { secondRan = ++procOrder; });
    RunExitProcs();
    RunExitProcs();
    EXPECT_EQ(secondRan, 1);
    EXPECT_EQ(firstRan, 2);
}

// The program's own run reads /ik, "/ik", /IK and a second argument; these are the other quote rules.
TEST(CommandLine, FirstArgument) {
    const struct {
        const char16_t* line;
        const char16_t* first;
    } cases[] = {
        {u"\"C:\\Program Files\\echometer.exe\" /ik", u"/ik"},
        {u"echometer.exe \"\" /ik", u"/ik"},         // an empty pair is a separator
        {u"echometer.exe \"/ik", u"\"/ik"},          // one quote stays
        {u"echometer.exe /i\"k x\"", u"/i\"k x\""},  // a quoted stretch is not split
    };
    for (const auto& c : cases)
        EXPECT_TRUE(ParamStr(c.line, 1) == c.first);
}

}  // namespace
