// The download manager driven through scripted notifications: orders and
// records a real transfer cannot be made to produce.
#include <gtest/gtest.h>

#include "downloader/down_vidmora.h"
#include "fake_async_download.h"
#include "fake_message_box.h"
#include "scripted_control.h"

using vidmora::DownVidmora;
using vidmora::platform::AsyncDownloadService;
using vidmora::platform::MessageBox;
using vidmora::test::FakeAsyncDownloadService;
using vidmora::test::FakeMessageBox;
using vidmora::test::fileContent;

namespace {

class DownVidmoraScripted : public vidmora::test::ScriptedControlTest {};

} // namespace

TEST_F(DownVidmoraScripted, OneSuccessfulDownloadRaisesItsEventsInOrderAndWritesTheFile)
{
    const QString file = target(QStringLiteral("clip.flv"));
    control.BeginDownload(QStringLiteral("http://www.vidsite.example/get_video.php?video_id=a&t=b"), file);

    ASSERT_EQ(service.reads.size(), 1);
    EXPECT_EQ(service.reads[0].target, QStringLiteral("http://www.vidsite.example/get_video.php?video_id=a&t=b"));
    EXPECT_EQ(service.reads[0].type, 2);
    EXPECT_EQ(service.reads[0].name, file);
    EXPECT_EQ(service.reads[0].options, QVariant(qint32(16))) << "omitted options are 16";
    EXPECT_EQ(control.queuedFiles(), QStringList({QString(), file}));
    EXPECT_EQ(control.queuedStatus(), QList<quint8>({0, 255}));

    service.progress(file, 11);
    service.progress(file, 2);
    service.progress(file, 4, 0, 10);
    service.progress(file, 5, 6, 10);
    service.progress(file, 6, 10, 10);
    service.complete(file, 6, "0123456789");

    const QStringList expected{
        QStringLiteral("Stage Attempting Connection"),
        QStringLiteral("Stage Connecting..."),
        QStringLiteral("Progress 0/10 ") + file,
        QStringLiteral("Stage Beginning to Download"),
        QStringLiteral("Progress 0/10 ") + file,
        QStringLiteral("Progress 6/10 ") + file,
        QStringLiteral("Progress 10/10 ") + file,
        QStringLiteral("Stage Complete!"),
        QStringLiteral("Stage Finalizing"),
        QStringLiteral("Complete 10 ") + file,
        QStringLiteral("Stage Cancelling"),
        QStringLiteral("AllComplete []"),
    };
    EXPECT_EQ(log.lines, expected);
    EXPECT_EQ(fileContent(file), QByteArray("0123456789"));
    EXPECT_EQ(control.queuedFiles(), QStringList({QString()}));
    EXPECT_EQ(control.queuedStatus(), QList<quint8>({0}));
    EXPECT_EQ(service.cancels, QStringList({file})) << "the end of the batch cancels every item";
    EXPECT_TRUE(box.shown.isEmpty());
}

TEST_F(DownVidmoraScripted, OneFailedDownloadIsReportedAndListed)
{
    const QString file = target(QStringLiteral("clip.flv"));
    control.BeginDownload(QStringLiteral("http://h/x"), file);
    service.complete(file, 0);

    EXPECT_EQ(log.lines, QStringList({QStringLiteral("Error ") + file, QStringLiteral("Stage Cancelling"),
                                      QStringLiteral("AllComplete [|") + file + QLatin1Char(']')}));
    EXPECT_EQ(service.cancels, QStringList({file, file})) << "once for the failure, once at the end of the batch";
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(DownVidmoraScripted, ProgressWithoutTotalIsSilentExceptAtTheBeginningOfTheData)
{
    const QString file = target(QStringLiteral("a.flv"));
    control.BeginDownload(QStringLiteral("http://h/x"), file);
    service.progress(file, 5, 100, 0);
    service.progress(file, 4, 0, 0);
    service.progress(file, 7, 0, 0);  // ignored status
    service.progress(file, 12, 3, 9); // ignored status, but it has a total
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("Stage Beginning to Download"), QStringLiteral("Progress 0/0 ") + file,
                                      QStringLiteral("Progress 3/9 ") + file}));
}

TEST_F(DownVidmoraScripted, ProgressWithFailureStatusCancelsTheReadButLeavesTheQueue)
{
    const QString file = target(QStringLiteral("a.flv"));
    control.BeginDownload(QStringLiteral("http://h/x"), file);
    service.progress(file, 0, 5, 50);
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("Progress 5/50 ") + file, QStringLiteral("Stage Error!!")}));
    EXPECT_EQ(service.cancels, QStringList({file}));
    EXPECT_EQ(control.queuedStatus(), QList<quint8>({0, 255}));
    EXPECT_EQ(log.batches, 0);
}

TEST_F(DownVidmoraScripted, CompletionOfAnUnqueuedNameStillRaisesItsEventAndChecksTheBatch)
{
    // Empty queue: the check ends an (empty) batch at once.
    const QString stray = target(QStringLiteral("stray.flv"));
    service.complete(stray, 6, "abc");
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("Stage Finalizing"), QStringLiteral("Complete 3 ") + stray,
                                      QStringLiteral("AllComplete []")}));
    EXPECT_EQ(fileContent(stray), QByteArray("abc"));

    // An item still open: nothing ends.
    log.lines.clear();
    const QString queued = target(QStringLiteral("queued.flv"));
    control.BeginDownload(QStringLiteral("http://h/x"), queued);
    service.complete(stray, 0);
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("Error ") + stray}));
    EXPECT_EQ(control.queuedStatus(), QList<quint8>({0, 255}));
}

TEST_F(DownVidmoraScripted, DuplicateTargetsUpdateOnlyTheFirstItemAndKeepTheBatchOpen)
{
    const QString file = target(QStringLiteral("same.flv"));
    control.BeginDownload(QStringLiteral("http://h/1"), file);
    control.BeginDownload(QStringLiteral("http://h/2"), file);
    service.complete(file, 6, "one");
    service.complete(file, 6, "two");
    EXPECT_EQ(control.queuedStatus(), QList<quint8>({0, 6, 255}));
    EXPECT_EQ(log.batches, 0);
    EXPECT_EQ(fileContent(file), QByteArray("two"));

    log.lines.clear();
    EXPECT_TRUE(control.CancelAllDownload());
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("Stage Cancelling"), QStringLiteral("Stage Cancelling")}));
    EXPECT_EQ(control.queuedFiles(), QStringList({QString()}));
}

TEST_F(DownVidmoraScripted, OtherCompletionStatusesKeepTheBatchOpen)
{
    const QString a = target(QStringLiteral("a.flv"));
    const QString b = target(QStringLiteral("b.flv"));
    const QString c = target(QStringLiteral("c.flv"));
    control.BeginDownload(QStringLiteral("http://h/a"), a);
    control.BeginDownload(QStringLiteral("http://h/b"), b);
    control.BeginDownload(QStringLiteral("http://h/c"), c);
    service.complete(a, 0);
    service.complete(b, 3);   // neither failed nor done
    service.complete(c, 300); // no status byte at all: the item stays queued
    EXPECT_EQ(control.queuedStatus(), QList<quint8>({0, 0, 3, 255}));
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("Error ") + a}));

    // Once the odd ones settle, the batch ends with the failures in queue order.
    service.complete(c, 0);
    EXPECT_EQ(log.batches, 0);
    service.complete(b, 0);
    EXPECT_EQ(log.batches, 1);
    EXPECT_EQ(log.lines.last(), QStringLiteral("AllComplete [|%1|%2|%3]").arg(a, b, c));
}

TEST_F(DownVidmoraScripted, CancelOnAnEmptyQueueRaisesNothing)
{
    EXPECT_TRUE(control.CancelAllDownload());
    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_TRUE(service.cancels.isEmpty());
}

TEST_F(DownVidmoraScripted, ExplicitOptionsArePassedAsGiven)
{
    control.BeginDownload(QStringLiteral("http://h/x"), target(QStringLiteral("a")), QVariant(0));
    control.BeginDownload(QStringLiteral("http://h/x"), target(QStringLiteral("b")), QVariant(QStringLiteral("16")));
    ASSERT_EQ(service.reads.size(), 2);
    EXPECT_EQ(service.reads[0].options, QVariant(0));
    EXPECT_EQ(service.reads[1].options, QVariant(QStringLiteral("16")));
}

TEST_F(DownVidmoraScripted, AReadThatCannotStartShowsTheWarningAndQueuesNothing)
{
    service.failNextRead = vidmora::platform::AsyncReadFailure{-2146697214, QStringLiteral("Invalid URL: nonsense")};
    control.BeginDownload(QStringLiteral("nonsense"), target(QStringLiteral("a.flv")));

    ASSERT_EQ(box.shown.size(), 1);
    EXPECT_EQ(box.shown[0].text,
              QStringLiteral("-2146697214:Error in call to BeginDownload().\r\n\r\nError Description: Invalid URL: nonsense"));
    EXPECT_EQ(box.shown[0].icon, MessageBox::Icon::Critical);
    EXPECT_EQ(box.shown[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(control.queuedFiles(), QStringList({QString()}));
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(DownVidmoraScripted, ListenersSeeTheQueueBeforeTheStatusIsStoredAndAfterItIsEmptied)
{
    const QString file = target(QStringLiteral("a.flv"));
    control.BeginDownload(QStringLiteral("http://h/x"), file);
    QList<quint8> atComplete;
    qsizetype filesAtAllComplete = -1;
    QObject::connect(&control, &DownVidmora::DownloadComplete, [&](qint32 &, QString &) { atComplete = control.queuedStatus(); });
    QObject::connect(&control, &DownVidmora::DownloadAllComplete,
                     [&](QStringList &) { filesAtAllComplete = control.queuedFiles().size(); });
    service.complete(file, 6, "x");
    EXPECT_EQ(atComplete, QList<quint8>({0, 255}));
    EXPECT_EQ(filesAtAllComplete, 1);
}

TEST_F(DownVidmoraScripted, HandlersChangingTheirArgumentsDoNotChangeWhatTheControlDoes)
{
    const QString file = target(QStringLiteral("a.flv"));
    control.BeginDownload(QStringLiteral("http://h/x"), file);
    QObject::connect(&control, &DownVidmora::DownloadComplete, [](qint32 &max, QString &name) {
        max = -1;
        name = QStringLiteral("elsewhere");
    });
    service.complete(file, 6, "x");
    EXPECT_EQ(log.batches, 1) << "the item was found under its own name";
}

TEST(DownVidmora, DestructionCancelsWhatIsQueuedAndTheControlKeepsItsSize)
{
    FakeAsyncDownloadService service;
    FakeMessageBox box;
    QStringList stages;
    {
        DownVidmora control(service, box);
        EXPECT_EQ(control.Width(), 480);
        EXPECT_EQ(control.Height(), 480);
        control.resize(100, 2000);
        EXPECT_EQ(control.Width(), 480);
        EXPECT_EQ(control.Height(), 480);
        QObject::connect(&control, &DownVidmora::DownloadStage, [&](QString &s) { stages << s; });
        control.BeginDownload(QStringLiteral("http://h/x"), QStringLiteral("/tmp/none-a"));
    }
    EXPECT_EQ(stages, QStringList({QStringLiteral("Cancelling")}));
    EXPECT_EQ(service.cancels, QStringList({QStringLiteral("/tmp/none-a")}));

    // Nothing queued: nothing to cancel.
    service.cancels.clear();
    { DownVidmora control(service, box); }
    EXPECT_TRUE(service.cancels.isEmpty());
}
