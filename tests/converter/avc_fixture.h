#pragma once

#include "converter/avc.h"

#include "event_wait.h"
#include "fake_converter.h"
#include "test_files.h"
#include "process_control_probe.h"

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vidmora::test {

// A driver on its own timer, with a probe around the real process control, and
// the events it raised in order ("Converting", "Complete", "Error: <text>").
class AvcFixture : public ::testing::Test {
protected:
    static constexpr char kMaker[] = "maker.test";

    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    std::unique_ptr<AVC> makeDriver(const QString &converterPath)
    {
        auto avc = std::make_unique<AVC>(timer, converterPath, std::make_unique<ProcessControlProbe>(log),
                                         QString::fromLatin1(kMaker));
        QObject::connect(avc.get(), &AVC::Converting, [this] {
            events << QStringLiteral("Converting");
            if (onConverting)
                onConverting();
        });
        QObject::connect(avc.get(), &AVC::Complete, [this, a = avc.get()] {
            events << QStringLiteral("Complete");
            exitAtComplete = a->ExitCode();
        });
        QObject::connect(avc.get(), &AVC::ErrorEvent,
                         [this](QString &message) { events << QStringLiteral("Error: ") + message; });
        return avc;
    }

    // A converter script in the test's folder.
    QString fakeConverter(const QString &body, const QString &folder = QStringLiteral("bin"))
    {
        return writeFakeConverter(dir.path() + u'/' + folder, body);
    }

    bool waitForComplete(int ms = 30000)
    {
        return waitUntil([this] { return events.contains(QStringLiteral("Complete")); }, ms);
    }

    qsizetype count(const QString &event) const { return events.count(event); }

    platform::Timer timer;
    QTemporaryDir dir;
    std::shared_ptr<ProcessControlProbe::Log> log = std::make_shared<ProcessControlProbe::Log>();
    QStringList events;
    int exitAtComplete = -99;
    std::function<void()> onConverting;
};

} // namespace vidmora::test
