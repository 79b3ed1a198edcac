#include "app/orbelin_dlg.h"

#include "app/artwork.h"
#include "app/cool_btn.h"
#include "app/text_progress_ctrl.h"
#include "app/ui_services.h"
#include "conversion/conversion.h"
#include "platform/paths.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <cmath>

namespace
{

const QString kAppName = QStringLiteral("Orbelin");
const QString kProfileKey = QStringLiteral("Local AppWizard-Generated Applications");
const QString kFillOptionKey = QStringLiteral("Orbelin/FillOption");
const QString kQuestionCaption = QStringLiteral("Tessaro SVG to DXF");
const QString kQuestion =
    QStringLiteral("Convert finished, do you need to open the output folder now? \nOutput folder is");
const QString kSvgFilter = QStringLiteral("SVG Files (*.svg);;All Files (*)");
const QString kDxfFilter = QStringLiteral("AutoCAD DXF Files (*.dxf);;All Files (*)");

// The window is laid out on a grid of dialog units: a quarter of the average character width across
// and an eighth of the line height down, so the proportions hold with any font.
constexpr int kDesignWidth = 353;
constexpr int kDesignHeight = 199;
// How a control follows the window when the person makes it larger than designed.
constexpr int kFixed = 0;
constexpr int kStretchX = 1;
constexpr int kMoveX = 2;
constexpr int kMoveY = 4;

// Paths reach the core as the file system's bytes.
std::string ToPath(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

QString FromPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QFrame* EtchedLine(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    return line;
}

QPushButton* PushButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    // No button is the default: Enter is handled by the window itself.
    button->setAutoDefault(false);
    return button;
}

} // namespace

COrbelinDlg::COrbelinDlg(std::unique_ptr<CUiServices> services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services))
{
    if (!m_services)
        m_services = std::make_unique<CDesktopUiServices>();

    QSettings profile(kProfileKey, kAppName);
    m_fillOption = profile.value(kFillOptionKey, 1).toInt();

    setWindowTitle(kAppName);
    setWindowIcon(OrbelinIcon());
    // A sizing frame and a close button, but nothing to minimise: the window is the whole program.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    // Where the system menu of a dialog is out of reach, the About entry sits in the window's own
    // context menu.
    auto* about = new QAction(tr("&About Orbelin..."), this);
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, &COrbelinDlg::OnAboutCommand);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    CreateControls();

    m_menuButton->AddMenuItem(kHelpCommand, tr("&Help"));
    m_menuButton->AddMenuItem(kAboutCommand, tr("&About"));
    connect(m_menuButton, &CCoolBtn::Command, this, &COrbelinDlg::OnMenuCommand);

    m_progress->hide();
    m_progress->SetShowText(true);
    m_progress->SetRange(0, 100);
    m_progress->SetPos(0);

    m_fill->setChecked(m_fillOption != 0);

    const QFontMetricsF metrics(font());
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_unitX = metrics.horizontalAdvance(letters) / letters.size() / 4.0;
    m_unitY = metrics.height() / 8.0;
    setMinimumSize(DesignSize());
    resize(DesignSize());
    LayoutControls();
}

COrbelinDlg::~COrbelinDlg()
{
    QSettings profile(kProfileKey, kAppName);
    profile.setValue(kFillOptionKey, m_fillOption);
}

void COrbelinDlg::CreateControls()
{
    m_banner = new CBanner(this);
    Place(m_banner, 0, 0, kDesignWidth, 46, kStretchX);
    Place(EtchedLine(this), 0, 46, kDesignWidth, 1, kStretchX);

    auto* inputLabel = new QLabel(tr("Select SVG File:"), this);
    Place(inputLabel, 23, 89, 51, 8, kFixed);
    m_input = new QLineEdit(this);
    m_input->setObjectName(QStringLiteral("inputPath"));
    Place(m_input, 82, 87, 240, 12, kStretchX);
    m_browseInput = PushButton(QStringLiteral("..."), this);
    m_browseInput->setObjectName(QStringLiteral("browseInput"));
    Place(m_browseInput, 324, 86, 15, 14, kMoveX);
    inputLabel->setBuddy(m_input);

    auto* outputLabel = new QLabel(tr("Output DXF File:"), this);
    Place(outputLabel, 23, 115, 54, 8, kFixed);
    m_output = new QLineEdit(this);
    m_output->setObjectName(QStringLiteral("outputPath"));
    Place(m_output, 82, 112, 240, 12, kStretchX);
    m_browseOutput = PushButton(QStringLiteral("..."), this);
    m_browseOutput->setObjectName(QStringLiteral("browseOutput"));
    Place(m_browseOutput, 324, 111, 15, 14, kMoveX);
    outputLabel->setBuddy(m_output);

    m_fill = new QCheckBox(tr("Output fill entities"), this);
    m_fill->setObjectName(QStringLiteral("fillOption"));
    Place(m_fill, 83, 137, 73, 10, kFixed);

    // The line goes first so that the bar, while shown, lies over it.
    Place(EtchedLine(this), 0, 166, kDesignWidth, 1, kStretchX | kMoveY);
    m_progress = new CTextProgressCtrl(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    Place(m_progress, 23, 155, 316, 14, kStretchX | kMoveY);

    m_menuButton = new CCoolBtn(tr("Help"), this);
    m_menuButton->setAutoDefault(false);
    m_menuButton->setObjectName(QStringLiteral("menuButton"));
    Place(m_menuButton, 23, 178, 50, 14, kMoveY);
    m_convert = PushButton(tr("Convert"), this);
    m_convert->setObjectName(QStringLiteral("convert"));
    Place(m_convert, 237, 175, 50, 17, kMoveX | kMoveY);
    m_cancel = PushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    Place(m_cancel, 289, 178, 50, 14, kMoveX | kMoveY);

    connect(m_browseInput, &QPushButton::clicked, this, &COrbelinDlg::OnBrowseInput);
    connect(m_browseOutput, &QPushButton::clicked, this, &COrbelinDlg::OnBrowseOutput);
    connect(m_fill, &QCheckBox::clicked, this, &COrbelinDlg::OnFillOption);
    connect(m_convert, &QPushButton::clicked, this, &COrbelinDlg::OnConvert);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void COrbelinDlg::Place(QWidget* widget, int x, int y, int width, int height, int anchors)
{
    m_placements.push_back(CPlacement{widget, x, y, width, height, anchors});
}

QSize COrbelinDlg::DesignSize() const
{
    return QSize(static_cast<int>(std::lround(kDesignWidth * m_unitX)),
                 static_cast<int>(std::lround(kDesignHeight * m_unitY)));
}

void COrbelinDlg::LayoutControls()
{
    const QSize design = DesignSize();
    const int extraWidth = std::max(0, width() - design.width());
    const int extraHeight = std::max(0, height() - design.height());
    for (const CPlacement& placement : m_placements)
    {
        // Edges are rounded separately so neighbouring controls never open a gap between them.
        int left = static_cast<int>(std::lround(placement.x * m_unitX));
        int right = static_cast<int>(std::lround((placement.x + placement.width) * m_unitX));
        int top = static_cast<int>(std::lround(placement.y * m_unitY));
        const int bottom = static_cast<int>(std::lround((placement.y + placement.height) * m_unitY));
        int widthPx = right - left;
        const int heightPx = std::max(1, bottom - top);
        if (placement.anchors & kStretchX)
            widthPx += extraWidth;
        if (placement.anchors & kMoveX)
            left += extraWidth;
        if (placement.anchors & kMoveY)
            top += extraHeight;
        // A label keeps its whole text even where the font runs wider than the grid expects.
        if (auto* label = qobject_cast<QLabel*>(placement.widget))
            widthPx = std::max(widthPx, label->sizeHint().width());
        if (auto* check = qobject_cast<QCheckBox*>(placement.widget))
            widthPx = std::max(widthPx, check->sizeHint().width());
        placement.widget->setGeometry(left, top, widthPx, heightPx);
    }
}

void COrbelinDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayoutControls();
}

void COrbelinDlg::keyPressEvent(QKeyEvent* event)
{
    // Enter closes the window like Escape does, unless a push button has the focus: then it
    // presses that button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
    {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled())
            button->click();
        else
            accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void COrbelinDlg::UpdateData()
{
    m_inputPath = ToPath(m_input->text());
    m_outputPath = ToPath(m_output->text());
}

void COrbelinDlg::ShowProgress(int percent)
{
    if (percent >= 100)
    {
        m_progress->SetPos(percent);
        m_progress->hide();
        return;
    }
    if (m_progress->isHidden())
        m_progress->show();
    m_progress->SetPos(percent);
}

void COrbelinDlg::OnConvert()
{
    UpdateData();

    ConversionRequest request;
    request.inputPath = m_inputPath;
    request.outputPath = m_outputPath;
    request.fillOption = m_fillOption != 0;

    // The conversion runs here, on the window's thread: nothing else can be pressed meanwhile, and
    // the bar repaints itself as it moves.
    bool told = false;
    const ConversionResult result = RunConversion(
        request, [this](int percent) { ShowProgress(percent); },
        [this, &told](const std::string& message)
        {
            told = true;
            m_services->ShowMessage(this, kAppName, FromPath(message));
        });
    if (!result.ok())
    {
        if (!told && !result.message.empty())
            m_services->ShowMessage(this, kAppName, FromPath(result.message));
        return;
    }

    const std::string folderPath =
        result.outputFolder.empty() ? orbelin::FolderOf(m_outputPath) : result.outputFolder;
    QString folder = FromPath(folderPath);
    // A bare file name was written into the working folder: offer that folder, not the file.
    if (orbelin::LastSeparator(folderPath) == std::string::npos)
        folder = QFileInfo(FromPath(m_outputPath)).absolutePath() + QLatin1Char('/');
    const QString question = QStringLiteral("%1 %2").arg(kQuestion, folder);
    if (m_services->AskYesNo(this, kQuestionCaption, question))
        m_services->OpenFolder(folder);
}

void COrbelinDlg::OnBrowseInput()
{
    const QString chosen = m_services->GetOpenFileName(this, kSvgFilter, QStringLiteral(".svg"));
    if (chosen.isEmpty())
        return;
    m_inputPath = ToPath(chosen);
    // Never the input itself, even for a name without an extension.
    m_outputPath = orbelin::ProposeOutputPath(m_inputPath);
    m_input->setText(FromPath(m_inputPath));
    m_output->setText(FromPath(m_outputPath));
}

void COrbelinDlg::OnBrowseOutput()
{
    const QString chosen = m_services->GetSaveFileName(this, kDxfFilter, QStringLiteral(".dxf"));
    if (chosen.isEmpty())
        return;
    m_outputPath = ToPath(chosen);
    m_output->setText(FromPath(m_outputPath));
}

void COrbelinDlg::OnFillOption()
{
    m_fillOption = m_fillOption == 0 ? 1 : 0;
}

void COrbelinDlg::OnMenuCommand(int command)
{
    if (command == kHelpCommand)
        OnHelpCommand();
    else if (command == kAboutCommand)
        OnAboutCommand();
}

QString COrbelinDlg::HelpFilePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Orbelin.chm"));
}

void COrbelinDlg::OnHelpCommand()
{
    // A missing help file is not worth a message; the desktop would only complain about it.
    const QString path = HelpFilePath();
    if (QFileInfo::exists(path))
        m_services->OpenDocument(path);
}

void COrbelinDlg::OnAboutCommand()
{
    m_services->ShowAbout(this);
}
