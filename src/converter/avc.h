#pragma once

#include "converter/converter_settings.h"
#include "platform/process_control.h"
#include "platform/timer.h"
#include "vidmora/deployment.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace vidmora {

// The converter driver: holds the converter settings, builds the command line
// of the external converter "wqas.pga", runs it as a hidden child with its
// output on a pipe, polls that pipe on the borrowed timer (and runs the last
// poll at once when the output ends) and stops it by terminating every
// process of that name.
class AVC final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AVC)
public:
    // The converter's file name, as it ships in the program's folder.
    static constexpr char kConverterName[] = "wqas.pga";
    static constexpr int kPollInterval = 300; // ms
    static constexpr int kReadSize = 256;     // bytes per tick

    // `timer1` is borrowed: the driver sets its interval and enabled state and
    // listens to its ticks until it is destroyed. `converterPath` is the program
    // folder + "/wqas.pga"; `makerHost` ends the two file-name messages.
    AVC(platform::Timer &timer1, QString converterPath,
        std::unique_ptr<platform::ProcessControl> process = platform::makeProcessControl(),
        QString makerHost = QString::fromLatin1(deployment::kMakerHost), QObject *parent = nullptr);
    ~AVC() override;

    // The settings: write-only, stored unchanged.
    void setRateControlBuffer(const QString &StrValue) { m_settings.RateControlBuffer = StrValue; }
    void setVideoBitrateTolerance(const QString &StrValue) { m_settings.VideoBitrateTolerance = StrValue; }
    void setTargetFormat(const QString &StrValue) { m_settings.TargetFormat = StrValue; }
    void setGroupOfPictureSize(const QString &StrValue) { m_settings.GroupOfPictureSize = StrValue; }
    void setVideoQuantiserScale(const QString &StrValue) { m_settings.VideoQuantiserScale = StrValue; }
    void setMaxVideoBitrate(const QString &StrValue) { m_settings.MaxVideoBitrate = StrValue; }
    void setSourceFile(const QString &StrValue) { m_settings.SourceFile = StrValue; }
    void setDestFile(const QString &StrValue) { m_settings.DestFile = StrValue; }
    void setDeInterlace(bool StrValue) { m_settings.DeInterlace = StrValue; }
    void setSameQuality(bool StrValue) { m_settings.SameQuality = StrValue; }
    void setVideoSize(const QString &StrValue) { m_settings.VideoSize = StrValue; }
    void setVideoBitrate(const QString &StrValue) { m_settings.VideoBitrate = StrValue; }
    void setVideoFrameRate(const QString &StrValue) { m_settings.VideoFrameRate = StrValue; }
    void setVideoCodec(const QString &StrValue) { m_settings.VideoCodec = StrValue; }
    void setVideoFourCCTag(const QString &StrValue) { m_settings.VideoFourCCTag = StrValue; }
    void setVideoAspectRatio(const QString &StrValue) { m_settings.VideoAspectRatio = StrValue; }
    void setForceFormat(const QString &StrValue) { m_settings.ForceFormat = StrValue; }
    void setAudioBitrate(const QString &StrValue) { m_settings.AudioBitrate = StrValue; }
    void setAudioCodec(const QString &StrValue) { m_settings.AudioCodec = StrValue; }
    void setAudioFourCCTag(const QString &StrValue) { m_settings.AudioFourCCTag = StrValue; }
    void setAudioSamples(const QString &StrValue) { m_settings.AudioSamples = StrValue; }
    void setAudioChannels(const QString &StrValue) { m_settings.AudioChannels = StrValue; }
    // Stores each setting that `named` sets (a text that is not empty, a switch
    // that is true); the others keep what they hold.
    void mergeSettings(const ConverterSettings &named) { overlaySettings(m_settings, named); }

    // Starts one conversion with the current settings; "-y" first when OverWrite.
    // A refused start raises ErrorEvent before returning.
    void ConvertMedia(bool OverWrite);
    // Terminates every running "wqas.pga"; the running conversion then ends with
    // Converting and Complete as soon as its output has ended.
    void CancelConvert();

    // The converter's exit status of the last conversion, valid from its
    // Complete on: 0 for success, -1 when it was killed or did not exit normally.
    int ExitCode() const { return m_exitCode; }
    // Whether a conversion runs (between a successful start and its Complete).
    bool IsRunning() const { return m_pid != 0; }

    // The texts of the refusals that the checks raise, before the maker's address
    // or the converter's name where the message carries one.
    static QString noSourceText(const QString &makerHost);
    static QString noDestinationText(const QString &makerHost);
    // A source or destination path that holds a NUL.
    static QString badPathText();
    static QString notFoundText();
    static QString busyText();
    static QString pipeFailedText();
    static QString startFailedText(const QString &reason);

signals:
    void Converting();
    void Complete();
    void ErrorEvent(QString &ErrorMessage);

private:
    void StartPipedProcess(const QString &CommandLine);
    void Timer1_Timer();
    void outputEnded(quint64 run);
    void KillProcessByName(const QString &ExeName);
    QString GetShortFileName(const QString &LongPath);
    void raiseError(QString text);

    // Process state.
    QPointer<platform::Timer> m_timer1; // the window's: it may go first
    QMetaObject::Connection m_tickConnection;
    std::unique_ptr<platform::ProcessControl> m_process;
    std::unique_ptr<platform::PipeEndWatch> m_endWatch; // declared after m_process: goes first
    quint64 m_run = 0; // counts the starts, so that late news of an ended one is passed over
    qint64 m_pid = 0;
    int m_hReadPipe = platform::ProcessControl::kNoPipe;
    int m_exitCode = -1;
    QString m_converterPath;
    QString m_makerHost;

    // Cleared by one assignment just before Complete.
    ConverterSettings m_settings;
};

} // namespace vidmora
