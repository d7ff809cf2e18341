// The main window's run record: phases, texts, the spinner, the controls each
// moment switches, and which files go when; without a window.
#include "main_window/window_run.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <set>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace vidmora::test {
namespace {

using main_window::ConversionFiles;
using main_window::ConversionOutcome;
using main_window::Moment;
using main_window::RowState;
using main_window::RunPhase;
using main_window::Switch;
using main_window::WindowRun;

const QString kDomain = QStringLiteral("vidsite.test");

// The controls along one request, as the window's design and its download list
// and conversion handlers switch them.
TEST(WindowRunMoments, EachMomentSwitchesTheControlsItShould)
{
    struct Case {
        Moment moment;
        Switch download, cancel, play, frame;
        bool thumbnailGoes;
    } cases[] = {
        {Moment::DownloadPressed, Switch::Keep, Switch::Keep, Switch::Off, Switch::On, true},
        {Moment::RowQueued, Switch::On, Switch::Keep, Switch::Keep, Switch::Keep, false},
        {Moment::PageDone, Switch::Off, Switch::On, Switch::Keep, Switch::Keep, false},
        {Moment::Cleared, Switch::On, Switch::Keep, Switch::OnWithFile, Switch::Keep, false},
        {Moment::BatchEnded, Switch::Keep, Switch::Off, Switch::Keep, Switch::Keep, false},
        {Moment::CancelKept, Switch::Keep, Switch::On, Switch::Keep, Switch::Keep, false},
        {Moment::StepFailed, Switch::On, Switch::Keep, Switch::Keep, Switch::Keep, false},
        {Moment::ConversionEnded, Switch::On, Switch::Keep, Switch::Keep, Switch::Keep, true},
        {Moment::CancelReleased, Switch::Keep, Switch::Off, Switch::Keep, Switch::Keep, false},
        {Moment::ConversionRefused, Switch::On, Switch::Keep, Switch::Keep, Switch::Keep, false},
        {Moment::CancelPressed, Switch::On, Switch::Keep, Switch::Keep, Switch::Keep, false},
        {Moment::WindowClosed, Switch::Keep, Switch::Keep, Switch::Keep, Switch::Keep, true},
    };
    std::set<Moment> seen;
    for (const Case &c : cases) {
        const main_window::MomentRow &row = main_window::momentRow(c.moment);
        EXPECT_EQ(row.moment, c.moment) << int(c.moment) << ": no row of its own";
        EXPECT_EQ(row.download, c.download) << int(c.moment);
        EXPECT_EQ(row.cancel, c.cancel) << int(c.moment);
        EXPECT_EQ(row.play, c.play) << int(c.moment);
        EXPECT_EQ(row.frame, c.frame) << int(c.moment);
        EXPECT_EQ(row.thumbnailGoes, c.thumbnailGoes) << int(c.moment);
        seen.insert(c.moment);
    }
    // One row per moment, none left out.
    EXPECT_EQ(main_window::momentTable().size(), seen.size());
}

TEST(WindowRunMoments, PlayShowsOnClearingOnlyOnceADownloadHasStarted)
{
    WindowRun run(kDomain);
    EXPECT_EQ(run.at(Moment::Cleared).play, Switch::Keep);
    run.LastFileName = QStringLiteral("clip");
    EXPECT_EQ(run.at(Moment::Cleared).play, Switch::On);
    EXPECT_EQ(run.at(Moment::DownloadPressed).play, Switch::Off);
}

TEST(WindowRunTexts, SpinnerTurnsThroughItsFourFramesAndStopsOutsideThem)
{
    WindowRun run(kDomain);
    const char *frames[] = {"Converting vidsite.test data |", "Converting vidsite.test data /",
                            "Converting vidsite.test data -", "Converting vidsite.test data \\",
                            "Converting vidsite.test data |"};
    for (const char *frame : frames)
        EXPECT_EQ(run.turnSpinner(), std::optional<QString>(QString::fromLatin1(frame)));
    EXPECT_EQ(run.SpinFrame, 1);
    for (const qint16 outside : {qint16(-1), qint16(4), qint16(300)}) {
        run.SpinFrame = outside;
        EXPECT_EQ(run.turnSpinner(), std::nullopt) << outside;
        EXPECT_EQ(run.SpinFrame, outside);
    }
    EXPECT_EQ(WindowRun::rowSpinnerText(QStringLiteral("Please Wait Wait x Wait")), QStringLiteral("Please x Wait"));
}

TEST(WindowRunTexts, StatusTexts)
{
    const WindowRun run(kDomain);
    EXPECT_EQ(WindowRun::startText(), QStringLiteral("Welcome to Vidmora - Ready for converting ..."));
    EXPECT_EQ(run.readyText(), QStringLiteral("Ready for converting vidsite.test movies !"));
    EXPECT_EQ(run.pageReceivedText(), QStringLiteral("Data Recieved / vidsite.test ID Recieved"));
    EXPECT_EQ(run.pageProgressText(699, QStringLiteral("700")),
              QStringLiteral("Please Wait... Receiving Vidmora buffers ... 699 Bytes Received: 700"));
    EXPECT_EQ(run.pageProgressText(5, QString()),
              QStringLiteral("Please Wait... Receiving Vidmora buffers ... 5 Bytes Received: "));
}

TEST(WindowRunTexts, DownloadProgressShowsWhatIsStillToComeAndTheShareReceived)
{
    struct Case {
        qint64 cur, max;
        const char *text; // null: no text
    } cases[] = {
        {524288, 1048576, "512.0 KB (50.0%)"},
        {6500000, 10000000, "3.34 MB (65.0%)"},
        {1, 1048577, "1.00 MB (0.0%)"},        // exactly 2^20 still to come
        {1, 1048576, "1024.0 KB (0.0%)"},      // one byte less
        {100, 100, "0.0 KB (100.0%)"},
        {0, 0, nullptr},                       // no announced length
        {2147483647, 2147483647, "0.0 KB (100.0%)"},
    };
    for (const Case &c : cases) {
        const std::optional<QString> text = main_window::downloadProgressText(c.cur, c.max);
        if (!c.text) {
            EXPECT_EQ(text, std::nullopt) << c.cur;
            continue;
        }
        EXPECT_EQ(text, std::optional<QString>(QString::fromLatin1(c.text))) << c.cur << " of " << c.max;
    }
}

// A run on real files: the output of a conversion exists or not.
class WindowRunRoad : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    ConversionFiles files(const QString &name = QStringLiteral("clip")) const
    {
        return {dir.path() + u'/' + name + QStringLiteral(".flv"), dir.path() + u'/' + name + QStringLiteral(".avi")};
    }
    void writeOutput(const ConversionFiles &f)
    {
        QFile out(f.output);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("converted");
    }
    // The road up to a started conversion of `f`.
    void startConversion(const ConversionFiles &f)
    {
        run.IsConverting = false;
        run.pageRequested();
        run.pageQueued();
        run.IsConverting = true;
        run.conversionAsked(f, false);
        run.conversionAnswered();
    }
    QTemporaryDir dir;
    WindowRun run{kDomain};
};

TEST_F(WindowRunRoad, PhasesAlongARequestThatConverts)
{
    EXPECT_EQ(run.phase(), RunPhase::Idle);
    run.pageRequested();
    EXPECT_EQ(run.phase(), RunPhase::FetchingPage);
    EXPECT_FALSE(run.pageDropped());
    run.pageQueued();
    EXPECT_EQ(run.phase(), RunPhase::Downloading);
    const ConversionFiles f = files();
    run.conversionAsked(f, false);
    EXPECT_EQ(run.startingSource(), f.source);
    run.conversionAnswered();
    EXPECT_TRUE(run.startingSource().isEmpty());
    EXPECT_EQ(run.phase(), RunPhase::Converting);
    run.batchEnded(true);
    EXPECT_EQ(run.phase(), RunPhase::Converting);
    writeOutput(f);
    const main_window::ConversionEnd end = run.conversionEnded(0);
    EXPECT_EQ(end.outcome, ConversionOutcome::Converted);
    EXPECT_EQ(end.files.source, f.source);
    EXPECT_EQ(end.statusAfter, std::nullopt);
    EXPECT_EQ(end.rowState, RowState::Done);
    EXPECT_TRUE(run.releaseCancel()); // kept for the conversion at the batch's end
    EXPECT_FALSE(run.releaseCancel());
    EXPECT_EQ(run.phase(), RunPhase::Idle);
}

TEST_F(WindowRunRoad, HowAConversionEndsDecidesWhatTheWindowSays)
{
    struct Case {
        const char *name;
        bool cancelled;
        bool output;
        int exitCode;
        ConversionOutcome outcome;
        const char *statusAfter; // null: the ready text stays
        RowState row;
    } cases[] = {
        {"converted", false, true, 0, ConversionOutcome::Converted, nullptr, RowState::Done},
        {"no output", false, false, 0, ConversionOutcome::Failed, "Conversion failed - the downloaded video is kept",
         RowState::ConversionFailed},
        {"exit 1", false, true, 1, ConversionOutcome::Failed, "Conversion failed - the downloaded video is kept",
         RowState::ConversionFailed},
        {"cancelled", true, true, 0, ConversionOutcome::Cancelled, "Conversion cancelled", RowState::Cancelled},
    };
    for (const Case &c : cases) {
        const ConversionFiles f = files(QString::fromLatin1(c.name));
        startConversion(f);
        if (c.output)
            writeOutput(f);
        if (c.cancelled) {
            run.cancelPressed(run.IsConverting);
            EXPECT_EQ(run.phase(), RunPhase::Cancelling) << c.name;
        }
        const main_window::ConversionEnd end = run.conversionEnded(c.exitCode);
        EXPECT_EQ(end.outcome, c.outcome) << c.name;
        EXPECT_EQ(end.statusAfter, c.statusAfter ? std::optional<QString>(QString::fromLatin1(c.statusAfter))
                                                 : std::nullopt)
            << c.name;
        EXPECT_EQ(end.rowState, c.row) << c.name;
        EXPECT_EQ(run.phase(), RunPhase::Idle) << c.name;
    }
}

TEST_F(WindowRunRoad, ANewRequestDuringACancelledConversionKeepsItCancelled)
{
    const ConversionFiles f = files();
    startConversion(f);
    writeOutput(f);
    run.cancelPressed(true);
    EXPECT_TRUE(run.pageDropped());
    // "Cancel" enabled "Download": the next page is fetched before the converter's end.
    run.pageRequested();
    EXPECT_FALSE(run.pageDropped());
    EXPECT_EQ(run.phase(), RunPhase::Cancelling);
    EXPECT_EQ(run.conversionEnded(0).outcome, ConversionOutcome::Cancelled);
    EXPECT_EQ(run.phase(), RunPhase::FetchingPage); // that page is still on its way
}

TEST_F(WindowRunRoad, CancelWithoutAConversionDropsThePageOnly)
{
    run.pageRequested();
    run.cancelPressed(run.IsConverting);
    EXPECT_TRUE(run.pageDropped());
    EXPECT_EQ(run.phase(), RunPhase::Idle);
    // A later conversion is not taken as cancelled.
    const ConversionFiles f = files();
    startConversion(f);
    writeOutput(f);
    EXPECT_EQ(run.conversionEnded(0).outcome, ConversionOutcome::Converted);
}

TEST_F(WindowRunRoad, ARefusedStartLeavesTheRunningConversionItsFiles)
{
    const ConversionFiles first = files(QStringLiteral("first")), second = files(QStringLiteral("second"));
    startConversion(first);
    // The driver converts one file at a time: the second is refused.
    run.conversionAsked(second, true);
    EXPECT_EQ(run.startingSource(), second.source);
    run.conversionRefused(true);
    run.conversionAnswered();
    EXPECT_EQ(run.conversionFiles().source, first.source);
    EXPECT_EQ(run.phase(), RunPhase::Converting);
    EXPECT_FALSE(run.stepFailed(true));
    EXPECT_TRUE(run.IsConverting);

    run.conversionEnded(1);
    // Nothing runs: a refusal leaves nothing to convert, and the window goes idle.
    run.conversionAsked(second, false);
    run.conversionRefused(false);
    run.conversionAnswered();
    EXPECT_TRUE(run.conversionFiles().isEmpty());
    EXPECT_TRUE(run.stepFailed(false));
    EXPECT_FALSE(run.IsConverting);
    EXPECT_EQ(run.phase(), RunPhase::Idle);
}

TEST_F(WindowRunRoad, PlayOpensTheLastOutputInTheFolderItWasWrittenIn)
{
    // Before any conversion: the save folder and the name without an extension.
    run.LastFileName = QStringLiteral("clip");
    EXPECT_EQ(run.playPath(QStringLiteral("/new")), QStringLiteral("/new/clip"));

    const ConversionFiles f = files();
    startConversion(f);
    run.OutputExt = QStringLiteral(".avi");
    // Another folder chosen since: the output is where the conversion wrote it.
    EXPECT_EQ(run.playPath(QStringLiteral("/new")), f.output);
    // The next download's name, as the window has always built it.
    run.LastFileName = QStringLiteral("next");
    EXPECT_EQ(run.playPath(QStringLiteral("/new")), dir.path() + QStringLiteral("/next.avi"));
}

} // namespace
} // namespace vidmora::test
