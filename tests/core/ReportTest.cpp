// The core report sink: whole messages to the installed sink, a sink's own failure to standard
// error instead of back into the sink.

#include "quorlix/core/Report.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace Quorlix;

namespace {

std::vector<std::pair<ReportLevel, std::string>> G_Received;

void Collect(ReportLevel level, const char* text, size_t length) noexcept {
    G_Received.emplace_back(level, std::string(text, length));
}

void ReportsAgain(ReportLevel level, const char* text, size_t length) noexcept {
    Collect(level, text, length);
    Report(ReportLevel::Error, "inner failure\n", 14);
}

// Puts the previous sink (the log's) back whatever the test does.
class SinkSwap {
public:
    explicit SinkSwap(ReportSink sink) : m_Previous(SetReportSink(sink)) { G_Received.clear(); }
    ~SinkSwap() { SetReportSink(m_Previous); }
    ReportSink Previous() const { return m_Previous; }

private:
    ReportSink m_Previous;
};

} // namespace

TEST(Report, WholeMessagesReachTheInstalledSink) {
    SinkSwap swap(&Collect);
    EXPECT_NE(swap.Previous(), nullptr) << "the log installs its sink when the library loads";
    ReportLine(ReportLevel::Warn, "SetSeed: seed == 0.");
    const std::string longLine(3000, 'x');
    ReportLine(ReportLevel::Fatal, longLine.c_str());
    ASSERT_EQ(G_Received.size(), 2u);
    EXPECT_EQ(G_Received[0].first, ReportLevel::Warn);
    EXPECT_EQ(G_Received[0].second, "SetSeed: seed == 0.\n");
    EXPECT_EQ(G_Received[1].first, ReportLevel::Fatal);
    EXPECT_EQ(G_Received[1].second, longLine + "\n") << "a long line stays one message";

    EXPECT_EQ(SetReportSink(nullptr), &Collect);
    ReportLine(ReportLevel::Error, "nobody listens");
    EXPECT_EQ(G_Received.size(), 2u);
}

TEST(Report, ASinkThatReportsWritesToStandardError) {
    SinkSwap swap(&ReportsAgain);
    testing::internal::CaptureStderr();
    ReportLine(ReportLevel::Note, "outer");
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(G_Received.size(), 1u) << "the sink is not entered twice";
    EXPECT_EQ(G_Received[0].second, "outer\n");
    EXPECT_EQ(err, "inner failure\n");
    // The guard is released: the next report reaches the sink again.
    ReportLine(ReportLevel::Note, "again");
    EXPECT_EQ(G_Received.size(), 2u);
}
