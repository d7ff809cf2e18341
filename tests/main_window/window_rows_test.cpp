// How a row of the download list moves from state to state, and what it shows.
#include "main_window/window_rows.h"

#include <gtest/gtest.h>

namespace vidmora::test {
namespace {

using main_window::DownloadRows;
using main_window::RowState;

TEST(WindowRows, EachStateSaysWhetherItHasEndedAndHow)
{
    struct Case {
        RowState state;
        bool ended;
        const char *text; // what an ended or new row shows
    } cases[] = {
        {RowState::Pending, false, "Pending..."},
        {RowState::Downloading, false, ""},
        {RowState::Converting, false, ""},
        {RowState::Done, true, "Done"},
        {RowState::Failed, true, "Error"},
        {RowState::ConversionFailed, true, "Conversion failed"},
        {RowState::Cancelled, true, "Cancelled"},
        {RowState::NotSupported, true, "NOT Supported"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(main_window::hasEnded(c.state), c.ended) << int(c.state);
        EXPECT_EQ(main_window::stateText(c.state), QString::fromLatin1(c.text)) << int(c.state);
    }
}

// Three rows: one ended, one converting, one downloading.
class WindowRowsMix : public ::testing::Test {
protected:
    void SetUp() override
    {
        rows.append(QStringLiteral("a"), QStringLiteral("/v/A.flv"));
        rows.append(QStringLiteral("b"), QStringLiteral("/v/B.flv"));
        rows.append(QStringLiteral("c"), QStringLiteral("/v/C.flv"));
        rows.end(1, RowState::Failed);
        rows.startConverting(2, QStringLiteral("/v/B.avi"));
        rows.showProgress(QStringLiteral("1.0 KB (50.0%)"), QStringLiteral("/v/C.flv"));
    }
    QString status(int i) const { return rows.at(i).status; }
    DownloadRows rows;
};

TEST_F(WindowRowsMix, ProgressShowsInEveryRowAndMovesOnlyItsOwnPendingRow)
{
    EXPECT_EQ(status(1), QStringLiteral("1.0 KB (50.0%)"));
    EXPECT_EQ(status(2), QStringLiteral("1.0 KB (50.0%)"));
    EXPECT_EQ(status(3), QStringLiteral("1.0 KB (50.0%)"));
    EXPECT_EQ(rows.at(1).state, RowState::Failed);
    EXPECT_EQ(rows.at(2).state, RowState::Converting);
    EXPECT_EQ(rows.at(2).output, QStringLiteral("/v/B.avi"));
    EXPECT_EQ(rows.at(3).state, RowState::Downloading);
}

TEST_F(WindowRowsMix, SpinnerLeavesEndedRowsSayingHowTheyEnded)
{
    rows.end(1, RowState::Failed); // again, after the progress wrote over it
    rows.showConverting(QStringLiteral("Converting x data |"));
    EXPECT_EQ(status(1), QStringLiteral("Error"));
    EXPECT_EQ(status(2), QStringLiteral("Converting x data |"));
    EXPECT_EQ(status(3), QStringLiteral("Converting x data |"));
}

TEST_F(WindowRowsMix, EndingTheLiveRowsSparesTheEndedOnesAndTheException)
{
    rows.endLive(RowState::Cancelled, 2);
    EXPECT_EQ(rows.at(1).state, RowState::Failed);
    EXPECT_EQ(rows.at(2).state, RowState::Converting);
    EXPECT_EQ(rows.at(3).state, RowState::Cancelled);
    EXPECT_EQ(status(3), QStringLiteral("Cancelled"));
    EXPECT_EQ(rows.endedRows(), (QList<int>{3, 1}));
}

TEST_F(WindowRowsMix, AnEndedRowIsNotStartedAgainAndALiveStateEndsNothing)
{
    rows.startConverting(1, QStringLiteral("/v/A.avi"));
    EXPECT_EQ(rows.at(1).state, RowState::Failed);
    EXPECT_TRUE(rows.at(1).output.isEmpty());
    rows.end(3, RowState::Converting);
    EXPECT_EQ(rows.at(3).state, RowState::Downloading);
}

TEST_F(WindowRowsMix, RowsAreFoundByTargetAndRenumberedWhenOneGoes)
{
    EXPECT_EQ(rows.indexOfTarget(QStringLiteral("/v/C.flv")), 3);
    EXPECT_EQ(rows.indexOfTarget(QStringLiteral("/v/D.flv")), 0);
    rows.remove(1);
    EXPECT_EQ(rows.count(), 2);
    EXPECT_EQ(rows.indexOfTarget(QStringLiteral("/v/C.flv")), 2);
    EXPECT_EQ(rows.at(1).key, QStringLiteral("b"));
    rows.remove(0); // no such row
    rows.remove(3);
    EXPECT_EQ(rows.count(), 2);
}

} // namespace
} // namespace vidmora::test
