// The lines between the program and its browser process.

#include "WebBrowser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct LinesCase {
    const char* Name;
    std::vector<std::string> Chunks; // as they arrive, one read each
    std::vector<std::string> Lines;  // "VERB|REST" in order
    std::size_t LeftOver;            // bytes still waiting for their line's end
};

void PrintTo(const LinesCase& Case, std::ostream* Out) {
    *Out << Case.Name;
}

class BrowserLinesTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(BrowserLinesTest, SplitsCompleteLinesIntoVerbAndRest) {
    const LinesCase& c = GetParam();
    QByteArray buffer;
    std::vector<std::string> lines;
    for (const std::string& chunk : c.Chunks)
        for (const TBrowserLine& line : TakeBrowserLines(buffer, QByteArray::fromStdString(chunk)))
            lines.push_back(line.Verb.toStdString() + "|" + line.Rest.toStdString());
    EXPECT_EQ(lines, c.Lines);
    EXPECT_EQ(static_cast<std::size_t>(buffer.size()), c.LeftOver);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrowserLinesTest,
    ::testing::Values(
        LinesCase{"VerbAlone", {"reload\n"}, {"reload|"}, 0},
        LinesCase{"VerbAndRest", {"loaded 1 http://a/b c\n"}, {"loaded|1 http://a/b c"}, 0},
        LinesCase{
            "SplitAcrossReads", {"navi", "gate http://a", "/\nrel"}, {"navigate|http://a/"}, 3},
        LinesCase{"SeveralInOneRead", {"url x\nloaded 0 x\n"}, {"url|x", "loaded|0 x"}, 0},
        LinesCase{"CarriageReturnAndBlanksTrimmed", {"  size 10 20 \r\n"}, {"size|10 20"}, 0},
        LinesCase{"EmptyLine", {"\n"}, {"|"}, 0},
        LinesCase{"EndlessLineDropped",
                  {std::string(70 * 1024, 'x'), "y\nreload\n"},
                  {"y|", "reload|"},
                  0}),
    [](const auto& Info) { return std::string(Info.param.Name); });

} // namespace
