#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <memory>

#include "main_window/form2.h"
#include "main_window/window_files.h"
#include "main_window/window_rows.h"
#include "main_window/window_run.h"
#include "main_window/window_button.h"
#include "platform/timer.h"

namespace vidmora {
class AVC;
class DGSwsHTTP;
class DownVidmora;
namespace platform {
class AsyncDownloadService;
class Label;
class ImageBox;
class ListView;
class MessageBox;
class RectangleShape;
class Shell;
} // namespace platform
} // namespace vidmora

namespace vidmora::main_window {

// What the main window is built from. The program wires the real pieces; tests
// hand in loopback endpoints, a recording message box and shell.
struct Form1Setup {
    // The page fetch; the real socket when null.
    std::unique_ptr<DGSwsHTTP> wsc;
    // The download service used by the window's download manager (required).
    platform::AsyncDownloadService *downloadService = nullptr;
    // Every box the window and its components show (required).
    platform::MessageBox *messageBox = nullptr;
    // "open" requests and the start of the announcement program (required).
    platform::Shell *shell = nullptr;
    // Where the converter and the announcement program live.
    QString programFolder;
    // Design text of the save-folder box.
    QString saveFolder;
    // Deployment endpoints.
    QString siteHost;
    QString siteDomain;
    QString imageHost;
    QString makerHost;
    // Makes the converter driver at load; the real driver over `timer1` when empty.
    std::function<std::unique_ptr<AVC>(platform::Timer &timer1, const QString &converterPath)> makeConverter;
    // How "X" ends the program at once (no unload steps); leaves the event loop when empty.
    std::function<void()> endProgram;
};

// The main window: address entry, details, download list, conversion status.
class Form1 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)
public:
    explicit Form1(Form1Setup setup, QWidget *parent = nullptr);
    ~Form1() override;

    // Members other parts of the program call.
    void ClearConts();
    void ConvertFLV(const QVariant &FormatType, const QString &SrcPath);
    void Add2DownQue(const QString &URL, const QString &SaveFile, const QString &Description);
    void DownloadVmr(const QString &URL, const QString &FileName);

    // Window state, readable for the program's checks.
    bool IsConverting() const { return m_run.IsConverting; }
    QString LastFileName() const { return m_run.LastFileName; }
    QString OutputExt() const { return m_run.OutputExt; }
    int SpinFrame() const { return m_run.SpinFrame; }
    QString GetVideoUrl() const { return m_GetVideoUrl; }
    QString statusText() const;
    QString saveFolder() const;
    Form2 *folderDialog() const { return m_form2.data(); }

    // The start text's notice, before " - Ready for converting ...".
    static QString startNotice();

signals:
    // Every write of the status line, in order (the line shows only the last).
    void statusLineChanged(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildRequestControls();
    void buildDetailControls();
    void buildConversionControls();
    void wireEvents();
    void stopHandlingEvents();

    void Form_Load();
    void Form_Unload();
    void endProgram();
    void SetStatus(const QString &Text);
    // What `moment` switches: "Download", "Cancel", "Play" and the thumbnail's frame.
    void applyMoment(Moment moment);
    // The files that go at `moment` (the thumbnail).
    void clearFiles(Moment moment);
    void DeleteThumbnail();
    QString thumbnailPath() const;

    void Command1_Click();
    void Wsc_ProgressChanged(qint32 bytesreceived);
    void Wsc_DownloadComplete();
    void Wsc_httpError(QString &errmsg, QString &Scode);

    void DownVidmora_DownloadProgress(qint32 &CurBytes, qint32 &MaxBytes, QString &SaveFile);
    void DownVidmora_DownloadError(QString &SaveFile);
    void DownVidmora_DownloadComplete(qint32 &MaxBytes, QString &SaveFile);
    void DownVidmora_DownloadAllComplete(QStringList &FileNotDownload);

    void AVC1_Converting();
    void AVC1_Complete();
    void AVC1_ErrorEvent(QString &ErrorMessage);
    void cmdCancel_Click();
    void Button1_Click();

    void Button2_Click();
    void Button3_Click();
    void Label11_Click();

    // Where the download of a row named `FileName` writes.
    QString downloadTarget(const QString &FileName) const;
    // The list's "ID:" and "Status:" columns, written from the rows' records.
    void showRows();
    // A row whose download or conversion has ended is kept, showing how, until
    // the next request is queued.
    void endRow(int index, RowState state);
    void removeRow(int index);
    void dropEndedRows();
    // A step of the road ended without a result: back to idle, saying why,
    // unless a conversion is still under way.
    void endFailedStep(const QString &statusText);
    bool conversionRunning() const;

    Form1Setup m_setup;

    // Controls, by their design names; what each is on screen.
    platform::Label *lblurl = nullptr;         // "Vidmora URL:", left of the address box
    QLineEdit *txturl = nullptr;               // the address box, where the watch-page address is typed
    WindowButton *Command1 = nullptr;          // "Download", right of the address box: starts the request
    WindowButton *cmdCancel = nullptr;         // "Cancel", beside "Download": stops what runs, clears the details
    platform::Label *Label11 = nullptr;        // the maker's web address, top right beside "X": opens it
    WindowButton *Button2 = nullptr;           // "X", top right corner: ends the program
    platform::Label *Label6 = nullptr;         // "Save path:", above the save-folder box
    QLineEdit *Text1 = nullptr;                // the save-folder box (dark), where every file is written
    WindowButton *Button3 = nullptr;           // "Chose path ...", left of the save-folder box: opens the folder dialog
    platform::Label *lblTC = nullptr;          // "Name of the video:", above the title on the right
    platform::Label *lblTitle = nullptr;       // the video's title, above the thumbnail
    platform::ImageBox *Image1 = nullptr;      // the thumbnail, on the right
    platform::RectangleShape *Shape1 = nullptr; // frame around the thumbnail's place, from the first "Download" on
    platform::Label *Label3 = nullptr;         // "Added at:", left column
    platform::Label *lblDate = nullptr;        // the date the video was added, after "Added at:"
    platform::Label *Label4 = nullptr;         // "From category:", left column
    platform::Label *lblCat = nullptr;         // the video's category, after "From category:"
    platform::Label *Label5 = nullptr;         // "Description:", left column
    platform::Label *txtDes = nullptr;         // the video's description, several lines under "Description:"
    platform::Label *Label1 = nullptr;         // "Uploaded By:", below the window's visible area: never seen
    platform::Label *lblvmrUser = nullptr;     // the uploader, beside Label1: never seen
    platform::Label *Label2 = nullptr;         // "Current Views:", under the thumbnail
    platform::Label *lblViews = nullptr;       // the view count, under "Current Views:"
    WindowButton *Button1 = nullptr;           // "Play", large, under the description: opens the converted video
    platform::Label *Label7 = nullptr;         // "Convert Format Type", left of the format box
    QComboBox *Combo1 = nullptr;               // the format box: the output format, picked from its list
    platform::ListView *lstDownload = nullptr; // the download list (Video:, ID:, Status:), lower part
    platform::Label *SB1 = nullptr;            // the status line, along the bottom
    platform::Timer Timer1;                    // not shown: the converter driver's poll timer

    std::unique_ptr<DGSwsHTTP> Wsc;
    std::unique_ptr<DownVidmora> m_downVidmora;
    std::unique_ptr<AVC> AVC1;
    QPointer<Form2> m_form2;
    QPixmap m_skin;

    // Window variables of the page step.
    QString m_GetVideoUrl;
    QString m_VideoTitle;
    QString m_VideoCategory;
    QString m_VideoDescription;
    QString m_TToken;
    // What the request is doing: the other window variables (IsConverting,
    // SpinFrame, LastFileName, OutputExt), the phase and the conversion under way.
    WindowRun m_run;

    // Bookkeeping of this window's own. The rows of lstDownload, in its order:
    // every row is added and removed in both at once.
    DownloadRows m_rows;
};

} // namespace vidmora::main_window
