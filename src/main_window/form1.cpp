#include "main_window/form1.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QWindow>

#include <algorithm>

#include "converter/avc.h"
#include "downloader/down_vidmora.h"
#include "http_client/dgsws_http.h"
#include "main_window/button_design.h"
#include "main_window/form2.h"
#include "main_window/skin.h"
#include "main_window/window_files.h"
#include "main_window/window_run.h"
#include "main_window/window_fonts.h"
#include "page_fields/page_fields.h"
#include "platform/async_download.h"
#include "platform/event_pump.h"
#include "platform/gui/label.h"
#include "platform/gui/list_view.h"
#include "platform/gui/picture.h"
#include "platform/gui/shell.h"
#include "platform/gui/window_drag.h"
#include "platform/message_box.h"
#include "platform/twips.h"
#include "profiles/profiles.h"

namespace vidmora::main_window {
namespace {

using platform::MessageBox;
using namespace vidmora::Module1;

// Design places are in twips.
constexpr int px(int twips) { return platform::twipsToPixels(twips); }
QRect place(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

QColor rgb(int r, int g, int b) { return QColor(r, g, b); }

void setTextColors(QWidget *w, const QColor &text, const QColor *background = nullptr)
{
    QPalette pal = w->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(role, text);
    if (background) {
        for (auto role : {QPalette::Base, QPalette::Window, QPalette::Button})
            pal.setColor(role, *background);
    }
    w->setPalette(pal);
}

// A drop-down list box's entries open below it in a scrolled list, whatever
// the desktop's style does with combo boxes (some lay every entry out over the box).
class DropDownBelowStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// The maker's address is a deployment value and may be wider than its design
// place. The label then keeps its right edge beside "X" and grows leftwards
// over the free title strip, so that the whole address shows.
void growLeftToFit(platform::Label *label)
{
    const int needed = label->fontMetrics().horizontalAdvance(label->Caption()) + 2;
    const QRect r = label->geometry();
    if (needed <= r.width())
        return;
    const int left = std::max(0, r.right() + 1 - needed);
    label->setGeometry(QRect(QPoint(left, r.top()), QPoint(r.right(), r.bottom())));
}

// Names that begin with "." are hidden files here, and an empty title would
// leave only the extension (a hidden name too): the download is named by the
// title without its leading dots, or, when nothing is left, by the video's
// identifier. The identifier comes from the page as well, so only the
// characters real identifiers are made of are taken from it.
QString visibleFileName(const QString &title, const QString &videoId)
{
    qsizetype dots = 0;
    while (dots < title.size() && title.at(dots) == QLatin1Char('.'))
        ++dots;
    if (dots < title.size())
        return title.mid(dots);
    QString id = videoId;
    id.removeIf([](QChar c) {
        return !((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                 || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('_')
                 || c == QLatin1Char('-'));
    });
    return id.isEmpty() ? QStringLiteral("video") : id;
}

// The video's identifier in a watch address: after the first exact
// "/watch?v=", up to the next one, cut at "&"; empty without one.
QString watchIdentifier(const QString &address)
{
    const QString marker = QStringLiteral("/watch?v=");
    const qsizetype start = address.indexOf(marker);
    if (start < 0)
        return QString();
    const qsizetype from = start + marker.size();
    const qsizetype next = address.indexOf(marker, from);
    QString identifier = next >= 0 ? address.mid(from, next - from) : address.mid(from);
    const qsizetype amp = identifier.indexOf(QLatin1Char('&'));
    if (amp >= 0)
        identifier.truncate(amp);
    return identifier;
}

// A control of the main window, by its design name.
platform::Label *label(QWidget *form, const char *name, const QRect &r, const QString &caption, const QColor &color)
{
    auto *l = new platform::Label(form);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(r);
    l->setCaption(caption);
    setTextColors(l, color);
    return l;
}

WindowButton *button(QWidget *form, const char *name, const QRect &r, const QString &caption, ButtonLook look)
{
    WindowButton *b = makeWindowButton(storedButtonBag(caption, look), form);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(r);
    return b;
}

} // namespace

QString Form1::startNotice() { return WindowRun::startNotice(); }

Form1::Form1(Form1Setup setup, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_setup(std::move(setup))
    , m_run(m_setup.siteDomain)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vidmora"));
    setFont(designFont(FontRole::Tahoma));
    setFixedSize(690, 489); // 10350 x 7335 twips
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    m_skin = makeMainSkin();

    Wsc = m_setup.wsc ? std::move(m_setup.wsc) : std::make_unique<DGSwsHTTP>();
    m_downVidmora = std::make_unique<DownVidmora>(*m_setup.downloadService, *m_setup.messageBox);

    buildControls();
    wireEvents();

    // Centred on the screen.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }

    Form_Load();
}

Form1::~Form1()
{
    stopHandlingEvents();
    if (m_form2)
        delete m_form2.data();
    // The driver lets go of Timer1 when released; release it before the timer goes.
    AVC1.reset();
}

// The controls are made in their design order, which is also their stacking
// order, one screen area after the other.
void Form1::buildControls()
{
    buildRequestControls();
    buildDetailControls();
    buildConversionControls();

    // Timer1: disabled, interval 0; the converter driver borrows it.
    Timer1.setInterval(0);
    Timer1.setEnabled(false);

    // Tab order: the address box first, then the controls in design order.
    setTabOrder(txturl, Command1);
    setTabOrder(Command1, cmdCancel);
    setTabOrder(cmdCancel, Button2);
    setTabOrder(Button2, Text1);
    setTabOrder(Text1, Button3);
    setTabOrder(Button3, Button1);
    setTabOrder(Button1, Combo1);
    setTabOrder(Combo1, lstDownload);
    txturl->setFocus();
}

// The top strip and the save folder: address, "Download", "Cancel", the maker's
// address, "X", "Save path:".
void Form1::buildRequestControls()
{
    const QColor white = Qt::white;
    lblurl = label(this, "lblurl", place(600, 720, 1335, 285), QStringLiteral("Vidmora URL:"), white);
    lblurl->setFont(designFont(FontRole::TahomaBold));

    txturl = new QLineEdit(this);
    txturl->setObjectName(QStringLiteral("txturl"));
    txturl->setGeometry(place(1890, 720, 5415, 285));
    txturl->setText(QStringLiteral("http://"));
    const QColor whiteBack = white;
    setTextColors(txturl, rgb(64, 0, 0), &whiteBack);
    txturl->setTextMargins(0, 0, 0, 0);

    Command1 = button(this, "Command1", place(7440, 720, 1095, 300), QStringLiteral("Download"), ButtonLook::System);
    cmdCancel = button(this, "cmdCancel", place(8640, 720, 1095, 300), QStringLiteral("Cancel"), ButtonLook::System);

    Label11 = label(this, "Label11", place(8400, 120, 1335, 255), m_setup.makerHost, rgb(192, 192, 192));
    growLeftToFit(Label11);
    Button2 = button(this, "Button2", place(9960, 120, 255, 225), QStringLiteral("X"), ButtonLook::System);

    Label6 = label(this, "Label6", place(1680, 1440, 885, 225), QStringLiteral("Save path:"), white);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(place(1680, 1680, 3735, 285));
    Text1->setText(m_setup.saveFolder);
    const QColor darkGrey = rgb(64, 64, 64);
    setTextColors(Text1, white, &darkGrey);
    Button3 = button(this, "Button3", place(240, 1440, 1335, 465), QStringLiteral("Chose path ..."), ButtonLook::System);
}

// The video's details: title, thumbnail, date, category, description, views.
void Form1::buildDetailControls()
{
    const QColor white = Qt::white, black = Qt::black;
    lblTC = label(this, "lblTC", place(7080, 1560, 1530, 225), QStringLiteral("Name of the video:"), black);
    lblTitle = label(this, "lblTitle", place(5880, 1800, 4005, 225), QString(), black);
    lblTitle->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    Image1 = new platform::ImageBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(place(5880, 2160, 3975, 2655));
    Shape1 = new platform::RectangleShape(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(place(5880, 2160, 3975, 2655));
    Shape1->hide();

    Label3 = label(this, "Label3", place(255, 1995, 1125, 225), QStringLiteral("Added at:"), white);
    lblDate = label(this, "lblDate", place(1080, 1995, 4290, 225), QStringLiteral("no date"), white);
    Label4 = label(this, "Label4", place(240, 2280, 1380, 225), QStringLiteral("From category:"), white);
    lblCat = label(this, "lblCat", place(1440, 2280, 3990, 225), QStringLiteral("no category"), white);
    Label5 = label(this, "Label5", place(240, 2760, 1755, 225), QStringLiteral("Description:"), white);
    txtDes = label(this, "txtDes", place(240, 3000, 5175, 735), QStringLiteral("no description"), white);
    // Below the visible area: written and cleared, never seen.
    Label1 = label(this, "Label1", place(495, 9435, 1260, 225), QStringLiteral("Uploaded By:"), white);
    lblvmrUser = label(this, "lblvmrUser", place(1485, 9435, 3885, 225), QString(), white);
    Label2 = label(this, "Label2", place(6480, 5040, 2805, 225), QStringLiteral("Current Views:"), black);
    Label2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblViews = label(this, "lblViews", place(6600, 5280, 2685, 225), QString(), black);
    lblViews->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

// "Play", the format box, the download list and the status line.
void Form1::buildConversionControls()
{
    const QColor white = Qt::white;
    const QColor darkGrey = rgb(64, 64, 64);
    Button1 = button(this, "Button1", place(240, 3960, 5175, 465), QStringLiteral("Play"), ButtonLook::Play);
    Button1->hide();

    Label7 = label(this, "Label7", place(360, 5040, 1935, 255), QStringLiteral("Convert Format Type"), white);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(place(2040, 4920, 3135, 315));
    Combo1->setEditable(false);
    Combo1->addItems(profiles::formatListEntries());
    Combo1->setCurrentIndex(-1);
    Combo1->setMaxVisibleItems(8);
    setTextColors(Combo1, white, &darkGrey);
    // The list drops below the box, eight entries high, in the box's own colours.
    auto *dropDownStyle = new DropDownBelowStyle;
    dropDownStyle->setParent(Combo1);
    Combo1->setStyle(dropDownStyle);
    setTextColors(Combo1->view(), white, &darkGrey);

    lstDownload = new platform::ListView(this);
    lstDownload->setObjectName(QStringLiteral("lstDownload"));
    lstDownload->setGeometry(place(600, 5640, 9105, 1125));
    lstDownload->setFont(designFont(FontRole::Tahoma));
    lstDownload->addColumn(QStringLiteral("Video:"), px(5440));
    lstDownload->addColumn(QStringLiteral("ID:"), px(1140), Qt::AlignHCenter);
    lstDownload->addColumn(QStringLiteral("Status:"), px(1440));

    SB1 = label(this, "SB1", place(120, 6960, 8055, 255), QStringLiteral("SB1"), rgb(224, 224, 224));
    SB1->setWordWrap(false);
}

void Form1::wireEvents()
{
    connect(Command1, &WindowButton::Click, this, &Form1::Command1_Click);
    connect(cmdCancel, &WindowButton::Click, this, &Form1::cmdCancel_Click);
    connect(Button1, &WindowButton::Click, this, &Form1::Button1_Click);
    connect(Button2, &WindowButton::Click, this, &Form1::Button2_Click);
    connect(Button3, &WindowButton::Click, this, &Form1::Button3_Click);
    connect(Label11, &platform::Label::Click, this, &Form1::Label11_Click);

    connect(Wsc.get(), &DGSwsHTTP::ProgressChanged, this, &Form1::Wsc_ProgressChanged);
    connect(Wsc.get(), &DGSwsHTTP::DownloadComplete, this, &Form1::Wsc_DownloadComplete);
    connect(Wsc.get(), &DGSwsHTTP::httpError, this, &Form1::Wsc_httpError);

    connect(m_downVidmora.get(), &DownVidmora::DownloadProgress, this, &Form1::DownVidmora_DownloadProgress);
    connect(m_downVidmora.get(), &DownVidmora::DownloadError, this, &Form1::DownVidmora_DownloadError);
    connect(m_downVidmora.get(), &DownVidmora::DownloadComplete, this, &Form1::DownVidmora_DownloadComplete);
    connect(m_downVidmora.get(), &DownVidmora::DownloadAllComplete, this, &Form1::DownVidmora_DownloadAllComplete);
}

void Form1::stopHandlingEvents()
{
    if (Wsc)
        disconnect(Wsc.get(), nullptr, this, nullptr);
    if (m_downVidmora)
        disconnect(m_downVidmora.get(), nullptr, this, nullptr);
    if (AVC1)
        disconnect(AVC1.get(), nullptr, this, nullptr);
}

QString Form1::statusText() const { return SB1->Caption(); }
QString Form1::saveFolder() const { return Text1->text(); }
QString Form1::thumbnailPath() const { return main_window::thumbnailPath(Text1->text()); }

void Form1::SetStatus(const QString &Text)
{
    SB1->setCaption(Text);
    emit statusLineChanged(Text);
}

void Form1::applyMoment(Moment moment)
{
    const MomentRow row = m_run.at(moment);
    auto apply = [](QWidget *control, Switch change, void (QWidget::*set)(bool)) {
        if (change == Switch::On)
            (control->*set)(true);
        else if (change == Switch::Off)
            (control->*set)(false);
    };
    apply(Command1, row.download, &QWidget::setEnabled);
    apply(cmdCancel, row.cancel, &QWidget::setEnabled);
    apply(Button1, row.play, &QWidget::setVisible);
    apply(Shape1, row.frame, &QWidget::setVisible);
}

void Form1::clearFiles(Moment moment)
{
    if (momentRow(moment).thumbnailGoes)
        DeleteThumbnail();
}

// ---- Load and unload ------------------------------------------------------

void Form1::Form_Load()
{
    // The converter driver, which takes Timer1 as its poll timer.
    const QString converter = m_setup.programFolder + QLatin1Char('/') + QLatin1String(AVC::kConverterName);
    if (m_setup.makeConverter)
        AVC1 = m_setup.makeConverter(Timer1, converter);
    else
        AVC1 = std::make_unique<AVC>(Timer1, converter, platform::makeProcessControl(), m_setup.makerHost);
    if (AVC1) {
        connect(AVC1.get(), &AVC::Converting, this, &Form1::AVC1_Converting);
        connect(AVC1.get(), &AVC::Complete, this, &Form1::AVC1_Complete);
        connect(AVC1.get(), &AVC::ErrorEvent, this, &Form1::AVC1_ErrorEvent);
    }

    // The save folder, one level, when missing; a failure goes unreported.
    const QString folder = Text1->text();
    if (!folder.isEmpty() && !QFileInfo(folder).isDir())
        QDir().mkdir(folder);

    // The default format.
    if (Combo1->currentText().isEmpty())
        Combo1->setCurrentIndex(Combo1->findText(QStringLiteral("AVI (MPEG4-DivX-Compatible)"), Qt::MatchExactly));

    // The start text, and the spinner from its first frame.
    SetStatus(WindowRun::startText());
    m_run.SpinFrame = 0;

    // The announcement program; whether it started is not looked at.
    if (m_setup.shell)
        m_setup.shell->startDetached(m_setup.programFolder + QStringLiteral("/zelto"));
}

void Form1::Form_Unload()
{
    clearFiles(Moment::WindowClosed);
    AVC1.reset();
    // The program ends here: no handler of the window runs any more, whatever
    // the page client or the download manager still has to say.
    stopHandlingEvents();
    if (m_form2)
        m_form2->close();
    endProgram();
}

void Form1::endProgram()
{
    if (m_setup.endProgram)
        m_setup.endProgram();
    else
        QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    Form_Unload();
}

// ---- Details ---------------------------------------------------------------

void Form1::ClearConts()
{
    txturl->setText(QStringLiteral("http://"));
    lblTitle->setCaption(QString());
    lblViews->setCaption(QString());
    lblvmrUser->setCaption(QString());
    lblDate->setCaption(QString());
    lblCat->setCaption(QString());
    SetStatus(m_run.readyText());
    txtDes->setCaption(QString());
    Image1->setPicture(QPixmap());
    applyMoment(Moment::Cleared);
}

void Form1::DeleteThumbnail()
{
    deleteThumbnail(Text1->text());
}

// ---- The request road ------------------------------------------------------

void Form1::Command1_Click()
{
    QString address = txturl->text();
    // Address clean-up, written back to the box.
    address.replace(QStringLiteral("http://http://"), QStringLiteral("http://"));
    txturl->setText(address);
    address.replace(QStringLiteral("http://") + m_setup.siteDomain, QStringLiteral("http://") + m_setup.siteHost);
    txturl->setText(address);

    // The site's watch prefix anywhere in the text, in any letter case.
    const QString prefix = QStringLiteral("http://") + m_setup.siteHost + QStringLiteral("/watch?v=");
    if (!address.contains(prefix, Qt::CaseInsensitive)) {
        m_setup.messageBox->show(QStringLiteral("Is NOT a valid ") + m_setup.siteDomain + QStringLiteral(" address"),
                                 MessageBox::Icon::Critical, QStringLiteral("Error"));
        return;
    }

    // The page request.
    SetStatus(WindowRun::fetchingText());
    m_run.IsConverting = false;
    m_run.pageRequested();
    QString request = txturl->text();
    Wsc->geturl(request);

    // The identifier the thumbnail is named by.
    const QString identifier = watchIdentifier(txturl->text());

    // The thumbnail, fetched while the window waits. A picture left from an
    // earlier request must never stand in for this one, so it goes first.
    clearFiles(Moment::DownloadPressed);
    QString thumbUrl = QStringLiteral("http://") + m_setup.imageHost + QStringLiteral("/vi/") + identifier
        + QStringLiteral("/default.jpg");
    QString target = thumbnailPath();
    DownloadFile(thumbUrl, target);

    // "Play" goes; the frame over the thumbnail's place shows.
    applyMoment(Moment::DownloadPressed);
}

void Form1::Wsc_ProgressChanged(qint32 bytesreceived)
{
    if (m_run.pageDropped())
        return;
    SetStatus(m_run.pageProgressText(bytesreceived, Wsc->FileSize.toString()));
}

void Form1::Wsc_httpError(QString &errmsg, QString & /*Scode*/)
{
    if (m_run.pageDropped())
        return;
    SetStatus(QString());
    m_setup.messageBox->show(errmsg + QStringLiteral("\r\n") + Wsc->ResponseHeaderString,
                             MessageBox::Icon::Exclamation, QStringLiteral("Error"));
}

void Form1::Wsc_DownloadComplete()
{
    // "Cancel" pressed while the page was on its way: the page is dropped, so
    // that nothing the user cancelled is downloaded after all.
    if (m_run.pageDropped())
        return;
    const QString page = Wsc->filedata.toString();
    auto fresh = [&page]() { return QString(page); };

    SetStatus(m_run.pageReceivedText());
    { QString h = fresh(); lblTitle->setCaption(GetTitle(h)); }
    { QString h = fresh(); lblViews->setCaption(GetViews(h)); }
    { QString h = fresh(); lblvmrUser->setCaption(GetUser(h)); }
    { QString h = fresh(); m_VideoCategory = GetCategory(h); }
    { QString h = fresh(); m_VideoDescription = GetDescription(h); }
    lblCat->setCaption(QString(m_VideoCategory).replace(QLatin1Char('&'), QStringLiteral("&&")));
    { QString h = fresh(); lblDate->setCaption(GetAddedDate(h)); }
    { QString h = fresh(); m_TToken = GetToken(h); }
    QString videoId;
    { QString h = fresh(); videoId = GetVideoID(h); }
    m_GetVideoUrl = QStringLiteral("http://") + m_setup.siteHost + QStringLiteral("/get_video.php?video_id=") + videoId
        + QStringLiteral("&t=") + m_TToken;

    // The caption is set once, without "<span >" and then without tabs: the
    // text between the two removals is never shown, and a long description
    // is not copied and laid out twice.
    QString description = m_VideoDescription;
    description.remove(QStringLiteral("<span >"));
    description.remove(QLatin1Char('\t'));
    txtDes->setCaption(description);

    // The details just written are this video's: so is the picture, or none
    // when its thumbnail could not be had (an earlier video's must not stay).
    Image1->setPicture(platform::loadPicture(thumbnailPath()));

    platform::pumpEventsOnce();
    // A "Cancel" handled inside the pump has reset the window: queue nothing.
    if (m_run.pageDropped())
        return;

    m_VideoTitle = lblTitle->Caption();
    Add2DownQue(m_GetVideoUrl, visibleFileName(m_VideoTitle, videoId), lblTitle->Caption());

    applyMoment(Moment::PageDone);
    m_run.pageQueued();
    SetStatus(WindowRun::queuedText());
}

// ---- Download list ---------------------------------------------------------

void Form1::Add2DownQue(const QString &URL, const QString &SaveFile, const QString &Description)
{
    // The row's key: what follows the last "/" before the last character;
    // the position is a 16-bit count.
    if (URL.size() > 32768)
        return;
    qsizetype slash = -1;
    for (qsizetype i = URL.size() - 2; i >= 0; --i) {
        if (URL.at(i) == QLatin1Char('/')) {
            slash = i;
            break;
        }
    }
    if (slash < 0)
        return;
    const QString tail = URL.mid(slash + 1);

    // Rows of earlier requests that ended without a result have shown it long
    // enough; a new request takes their place (and may fetch the same video).
    dropEndedRows();

    // The row, in the list and in this window's records.
    if (!lstDownload->addItem(tail, Description))
        return;
    m_rows.append(tail, downloadTarget(SaveFile));
    showRows();
    // "Download" is enabled again; then the download starts.
    applyMoment(Moment::RowQueued);
    DownloadVmr(URL, SaveFile);
}

QString Form1::downloadTarget(const QString &FileName) const
{
    return Text1->text() + QStringLiteral("/") + FileName + QStringLiteral(".flv");
}

void Form1::DownloadVmr(const QString &URL, const QString &FileName)
{
    m_downVidmora->BeginDownload(URL, downloadTarget(FileName));
    m_run.LastFileName = FileName;
}

void Form1::DownVidmora_DownloadProgress(qint32 &CurBytes, qint32 &MaxBytes, QString &SaveFile)
{
    // No announced length: nothing to divide by, the rows keep their text.
    const std::optional<QString> status = downloadProgressText(CurBytes, MaxBytes);
    if (!status)
        return;
    // Every row shows it, whichever download it tells of.
    m_rows.showProgress(*status, SaveFile);
    showRows();
}

void Form1::DownVidmora_DownloadError(QString &SaveFile)
{
    endRow(m_rows.indexOfTarget(SaveFile), RowState::Failed);
}

void Form1::DownVidmora_DownloadComplete(qint32 & /*MaxBytes*/, QString &SaveFile)
{
    m_run.IsConverting = true;
    ConvertFLV(QVariant(Combo1->currentText()), SaveFile);
}

void Form1::DownVidmora_DownloadAllComplete(QStringList &FileNotDownload)
{
    applyMoment(Moment::BatchEnded);
    // Element 0 is always empty; any further one is a download that failed.
    if (FileNotDownload.size() > 1)
        endFailedStep(WindowRun::downloadFailedText());
    // The conversion the batch has just started may run for minutes: "Cancel"
    // stays there to stop it, and goes again when it ends.
    const bool converting = conversionRunning();
    m_run.batchEnded(converting);
    if (converting)
        applyMoment(Moment::CancelKept);
}

bool Form1::conversionRunning() const { return AVC1 && AVC1->IsRunning(); }

void Form1::showRows()
{
    for (int i = 1; i <= m_rows.count(); ++i) {
        lstDownload->setSubItem(i, 1, m_rows.at(i).key);
        lstDownload->setSubItem(i, 2, m_rows.at(i).status);
    }
}

void Form1::endRow(int index, RowState state)
{
    m_rows.end(index, state);
    showRows();
}

void Form1::removeRow(int index)
{
    if (lstDownload->removeItem(index))
        m_rows.remove(index);
}

void Form1::dropEndedRows()
{
    for (const int index : m_rows.endedRows())
        removeRow(index);
}

void Form1::endFailedStep(const QString &statusText)
{
    // A conversion that is still under way keeps the window busy until its end.
    if (!m_run.stepFailed(conversionRunning()))
        return;
    applyMoment(Moment::StepFailed);
    SetStatus(statusText);
}

// ---- Conversion ------------------------------------------------------------

void Form1::ConvertFLV(const QVariant &FormatType, const QString &SrcPath)
{
    if (!AVC1)
        return; // the window is unloading
    const QString name = FormatType.toString();
    const profiles::ConversionProfile *profile = profiles::findProfile(name);
    if (!profile) {
        m_run.IsConverting = false;
        m_setup.messageBox->show(profiles::notSupportedText(name), MessageBox::Icon::Exclamation,
                                 QString::fromLatin1(profiles::kNotSupportedTitle));
        // Nothing will convert this download: the window goes back to idle
        // with the ".flv" kept, and the row says why.
        endRow(m_rows.indexOfTarget(SrcPath), RowState::NotSupported);
        endFailedStep(profiles::notSupportedText(name));
        return;
    }
    // Known before the start, since a refused start reports inside the call.
    const QString output = profiles::outputPath(SrcPath, QString::fromLatin1(profile->extension));
    m_run.conversionAsked({SrcPath, output}, conversionRunning());
    const profiles::ConvertResult result = profiles::ConvertFLV(*AVC1, name, SrcPath);
    m_run.OutputExt = result.extension;
    m_run.conversionAnswered();
    // Unless its start was refused (the row has ended then), the row converts.
    m_rows.startConverting(m_rows.indexOfTarget(SrcPath), output);
}

void Form1::AVC1_Converting()
{
    const std::optional<QString> frame = m_run.turnSpinner();
    if (!frame)
        return;
    SetStatus(*frame);
    // A row that has ended ("Error" of a refused conversion, ...) keeps saying
    // how: it is not being converted.
    m_rows.showConverting(WindowRun::rowSpinnerText(SB1->Caption()));
    showRows();
}

void Form1::AVC1_Complete()
{
    // Step 1, the download's deletion, and the converter's leftovers: the
    // file rules decide from how the conversion ended.
    const ConversionEnd end = m_run.conversionEnded(AVC1 ? AVC1->ExitCode() : -1);
    clearAfterConversion(end.files, end.outcome);

    m_run.IsConverting = false;
    SetStatus(WindowRun::doneText());
    applyMoment(Moment::ConversionEnded);
    ClearConts();
    if (end.statusAfter)
        SetStatus(*end.statusAfter);
    m_run.SpinFrame = 0;
    clearFiles(Moment::ConversionEnded);
    m_downVidmora->CancelAllDownload();
    const int selected = lstDownload->selectedIndex();
    if (selected != 0)
        removeRow(selected);
    // Whatever is still listed has nothing running any more: the converted
    // video's row when another row was the selected one, and the downloads just
    // cancelled. They say how they ended and give way to the next request, so
    // that the same video can be fetched again.
    m_rows.end(m_rows.indexOfTarget(end.files.source), end.rowState);
    m_rows.endLive(RowState::Cancelled);
    showRows();
    if (m_run.releaseCancel())
        applyMoment(Moment::CancelReleased);
}

void Form1::AVC1_ErrorEvent(QString &ErrorMessage)
{
    m_run.IsConverting = false;
    SetStatus(ErrorMessage);
    // The conversion never started: keep the download and the message, and let
    // the user make a new request.
    endRow(m_rows.indexOfTarget(m_run.startingSource()), RowState::Failed);
    const bool anotherRuns = conversionRunning();
    m_run.conversionRefused(anotherRuns);
    if (anotherRuns) {
        // Refused because another conversion runs: that one goes on.
        m_run.IsConverting = true;
        return;
    }
    applyMoment(Moment::ConversionRefused);
}

void Form1::cmdCancel_Click()
{
    const bool stopsConverter = m_run.IsConverting && AVC1;
    m_run.cancelPressed(stopsConverter);
    if (stopsConverter)
        AVC1->CancelConvert();
    m_downVidmora->CancelAllDownload();
    const int selected = lstDownload->selectedIndex();
    if (selected != 0)
        removeRow(selected);
    ClearConts();
    applyMoment(Moment::CancelPressed);
    // The downloads are cancelled: their rows give way to the next request. The
    // row of a conversion that is being stopped stays until its end.
    m_rows.endLive(RowState::Cancelled, conversionRunning() ? m_rows.indexOfTarget(m_run.conversionFiles().source) : 0);
    showRows();
}

void Form1::Button1_Click()
{
    m_setup.shell->open(m_run.playPath(Text1->text()));
}

// ---- Window chrome ---------------------------------------------------------

void Form1::Button2_Click()
{
    // Ends the program at once: no unload steps, "fis.tmp" stays.
    endProgram();
}

void Form1::Button3_Click()
{
    if (!m_form2) {
        m_form2 = new Form2([this](const QString &folder) { Text1->setText(folder); });
    }
    m_form2->show();
    m_form2->raise();
    m_form2->activateWindow();
}

void Form1::Label11_Click()
{
    m_setup.shell->open(QStringLiteral("http://") + m_setup.makerHost);
}

void Form1::mouseMoveEvent(QMouseEvent *event)
{
    // The left button alone, over a free spot of the window: move the window
    // as if its title bar had been grasped.
    if (event->buttons() == Qt::LeftButton)
        platform::beginCaptionDrag(this, event->globalPosition().toPoint());
}

void Form1::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_skin);
    // Line1 to Line4.
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(px(120), px(3720), px(5400), px(3720));
    p.drawLine(px(120), px(2640), px(5400), px(2640));
    p.drawLine(0, 0, px(10320), 0);
    p.setPen(QPen(QColor(128, 128, 128), 1));
    p.drawLine(-px(240), px(7320), px(10320), px(7320));
}

} // namespace vidmora::main_window
