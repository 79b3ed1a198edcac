#include "app/orbelin_dlg.h"

#include "app/artwork.h"
#include "app/conversion_run.h"
#include "app/cool_btn.h"
#include "app/text_progress_ctrl.h"
#include "app/ui_services.h"
#include "conversion/conversion.h"
#include "platform/paths.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace
{

const QString kAppName = QStringLiteral("Orbelin");
const QString kProfileKey = QStringLiteral("Local AppWizard-Generated Applications");
const QString kFillOptionKey = QStringLiteral("Orbelin/FillOption");
const QString kExactSvgKey = QStringLiteral("Orbelin/ExactSvg");
// Stored as the name the command line takes ("mm"), so that the value reads the same everywhere.
const QString kUnitsKey = QStringLiteral("Orbelin/Units");
const QString kCurvesKey = QStringLiteral("Orbelin/Curves");
const QString kTextKey = QStringLiteral("Orbelin/Text");
const QString kQuestionCaption = QStringLiteral("Tessaro SVG to DXF");
const QString kQuestion =
    QStringLiteral("Convert finished, do you need to open the output folder now? \nOutput folder is");
const QString kLastFolderKey = QStringLiteral("Orbelin/LastFolder");
const QString kLastInputKey = QStringLiteral("Orbelin/LastInput");
const QString kLastOutputKey = QStringLiteral("Orbelin/LastOutput");
const QString kSvgFilter = QStringLiteral("SVG Files (*.svg);;All Files (*)");
const QString kDxfFilter = QStringLiteral("AutoCAD DXF Files (*.dxf);;All Files (*)");

// The window is laid out on a grid of dialog units: a quarter of the average character width across
// and an eighth of the line height down, so the proportions hold with any font.
constexpr int kDesignWidth = 353;
// The "Output" group below the fill and exact check boxes moves everything under them down by as much
// as it and the second check box take (the controls below were designed to start at 150).
constexpr int kOutputGroupTop = 158;
constexpr int kOutputGroupHeight = 30;
constexpr int kBelowOutputGroup = kOutputGroupTop + kOutputGroupHeight + 2 - 150;
constexpr int kDesignHeight = 199 + kBelowOutputGroup;
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

// The local files among dropped URLs; none when anything else is among them.
QStringList LocalFiles(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
    {
        if (!url.isLocalFile())
            return {};
        files << url.toLocalFile();
    }
    return files;
}

// A choice of the "Output" group as stored: a value this version does not know (written by a later
// one, or by hand) reads as the default.
template <typename Value>
Value StoredChoice(const QSettings& profile, const QString& key, bool (*parse)(std::string_view, Value&),
                   Value fallback)
{
    Value value = fallback;
    if (!parse(profile.value(key).toString().toStdString(), value))
        value = fallback;
    return value;
}

// The value of a choice box's item, whose data is the name the command line and the settings use.
template <typename Value>
Value ChosenValue(const QComboBox* choice, int index, bool (*parse)(std::string_view, Value&), Value fallback)
{
    Value value = fallback;
    if (!parse(choice->itemData(index).toString().toStdString(), value))
        value = fallback;
    return value;
}

void ShowChoice(QComboBox* choice, const char* name)
{
    choice->setCurrentIndex(std::max(0, choice->findData(QString::fromLatin1(name))));
}

// A labelled choice box in the row of the "Output" group; items are the shown text and the name.
QComboBox* AddOutputChoice(QWidget* group, QHBoxLayout* row, const char* objectName, const QString& label,
                           std::initializer_list<std::pair<QString, const char*>> items, const QString& toolTip)
{
    auto* choice = new QComboBox(group);
    choice->setObjectName(QLatin1String(objectName));
    for (const auto& [shown, name] : items)
        choice->addItem(shown, QString::fromLatin1(name));
    choice->setToolTip(toolTip);
    auto* caption = new QLabel(label, group);
    caption->setBuddy(choice);
    row->addWidget(caption);
    row->addWidget(choice);
    return choice;
}

} // namespace

COrbelinDlg::COrbelinDlg(std::unique_ptr<CUiServices> services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services))
{
    if (!m_services)
        m_services = std::make_unique<CDesktopUiServices>();

    QSettings profile(kProfileKey, kAppName);
    m_fillOption = profile.value(kFillOptionKey, 1).toInt();
    m_exactSvg = profile.value(kExactSvgKey, 0).toInt();
    m_units = StoredChoice(profile, kUnitsKey, ParseOutputUnits, OutputUnits::None);
    m_curves = StoredChoice(profile, kCurvesKey, ParseCurveOutput, CurveOutput::Flatten);
    m_text = StoredChoice(profile, kTextKey, ParseTextOutput, TextOutput::Entities);

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
    m_exact->setChecked(m_exactSvg != 0);
    ShowChoice(m_unitsChoice, OutputUnitsName(m_units));
    ShowChoice(m_curvesChoice, CurveOutputName(m_curves));
    ShowChoice(m_textChoice, TextOutputName(m_text));
    connect(m_unitsChoice, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index)
            { m_units = ChosenValue(m_unitsChoice, index, ParseOutputUnits, OutputUnits::None); });
    connect(m_curvesChoice, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index)
            { m_curves = ChosenValue(m_curvesChoice, index, ParseCurveOutput, CurveOutput::Flatten); });
    connect(m_textChoice, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int index)
            { m_text = ChosenValue(m_textChoice, index, ParseTextOutput, TextOutput::Entities); });
    // The paths of the last conversion, so that a drawing revised in another program is converted
    // again with one click.
    m_input->setText(profile.value(kLastInputKey).toString());
    m_output->setText(profile.value(kLastOutputKey).toString());
    setAcceptDrops(true);

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
    // A run still going is stopped, and its thread ended, before the window's parts go.
    delete m_run;
    m_run = nullptr;
    QSettings profile(kProfileKey, kAppName);
    profile.setValue(kFillOptionKey, m_fillOption);
    profile.setValue(kExactSvgKey, m_exactSvg);
    profile.setValue(kUnitsKey, QString::fromLatin1(OutputUnitsName(m_units)));
    profile.setValue(kCurvesKey, QString::fromLatin1(CurveOutputName(m_curves)));
    profile.setValue(kTextKey, QString::fromLatin1(TextOutputName(m_text)));
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
    m_exact = new QCheckBox(tr("Exact SVG geometry"), this);
    m_exact->setObjectName(QStringLiteral("exactSvg"));
    Place(m_exact, 83, 146, 90, 9, kFixed);

    m_outputGroup = CreateOutputGroup();
    // Under the fill option, in line with the path fields.
    Place(m_outputGroup, 82, kOutputGroupTop, 257, kOutputGroupHeight, kStretchX);

    // The line goes first so that the bar, while shown, lies over it.
    Place(EtchedLine(this), 0, 166 + kBelowOutputGroup, kDesignWidth, 1, kStretchX | kMoveY);
    m_progress = new CTextProgressCtrl(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    Place(m_progress, 23, 155 + kBelowOutputGroup, 316, 14, kStretchX | kMoveY);

    m_menuButton = new CCoolBtn(tr("Help"), this);
    m_menuButton->setAutoDefault(false);
    m_menuButton->setObjectName(QStringLiteral("menuButton"));
    Place(m_menuButton, 23, 178 + kBelowOutputGroup, 50, 14, kMoveY);
    m_convert = PushButton(tr("Convert"), this);
    m_convert->setObjectName(QStringLiteral("convert"));
    Place(m_convert, 237, 175 + kBelowOutputGroup, 50, 17, kMoveX | kMoveY);
    m_cancel = PushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    Place(m_cancel, 289, 178 + kBelowOutputGroup, 50, 14, kMoveX | kMoveY);

    connect(m_browseInput, &QPushButton::clicked, this, &COrbelinDlg::OnBrowseInput);
    connect(m_browseOutput, &QPushButton::clicked, this, &COrbelinDlg::OnBrowseOutput);
    connect(m_fill, &QCheckBox::clicked, this, &COrbelinDlg::OnFillOption);
    connect(m_exact, &QCheckBox::clicked, this, &COrbelinDlg::OnExactSvg);
    connect(m_convert, &QPushButton::clicked, this, &COrbelinDlg::OnConvert);
    connect(m_cancel, &QPushButton::clicked, this, &COrbelinDlg::reject);
    connect(m_input, &QLineEdit::textEdited, this, &COrbelinDlg::OnInputEdited);
}

QWidget* COrbelinDlg::CreateOutputGroup()
{
    // One row of labelled choices, each as wide as its contents; the stretch at the end keeps them
    // together on the left as the window grows and leaves room for more of them.
    auto* group = new QGroupBox(tr("Output"), this);
    group->setObjectName(QStringLiteral("outputGroup"));
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(8, 2, 8, 4);

    m_unitsChoice = AddOutputChoice(
        group, row, "units", tr("&Units:"),
        {{tr("None"), "none"}, {"mm", "mm"}, {"cm", "cm"}, {"in", "in"}, {"px", "px"}},
        tr("The unit the drawing is written in and declares, so that it opens at its real size.\n"
           "None writes the drawing's own numbers without a unit. DXF has no pixel unit: px is declared "
           "unitless."));
    row->addSpacing(12);
    m_curvesChoice = AddOutputChoice(
        group, row, "curves", tr("&Curves:"), {{tr("Flatten"), "flatten"}, {tr("Native"), "native"}},
        tr("Flatten writes every curve as a polyline of many short segments.\n"
           "Native writes curves as curves: Bezier runs as splines, circular arcs as polyline bulges, "
           "elliptical arcs as ellipse arcs, in fills too.\nA spline has no width: a stroked curve with "
           "a width is written as a polyline of short arcs."));
    row->addSpacing(12);
    m_textChoice = AddOutputChoice(
        group, row, "text", tr("&Text:"), {{tr("Entities"), "entities"}, {tr("Outlines"), "outlines"}},
        tr("Entities writes each text as a TEXT entity, set by the CAD program in a font of its own.\n"
           "Outlines writes the outlines of its glyphs in the drawing's fonts, as closed curves and, where "
           "the text is filled, hatches: what a laser or a plotter can cut."));
    row->addStretch(1);
    return group;
}

ConversionRequest COrbelinDlg::MakeRequest(const std::string& input, const std::string& output) const
{
    ConversionRequest request;
    request.inputPath = input;
    request.outputPath = output;
    request.fillOption = m_fillOption != 0;
    request.exactSvg = m_exactSvg != 0;
    request.units = m_units;
    request.curves = m_curves;
    request.text = m_text;
    request.detailedProgress = true;
    return request;
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
        // While a conversion runs only Cancel and Escape act.
        if (IsConverting())
        {
            if (focusWidget() == m_cancel)
                m_cancel->click();
            return;
        }
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
    if (IsConverting())
        return;
    UpdateData();
    // The core gives the same answers; asked here, they come before any question about the output.
    if (m_inputPath.empty())
    {
        m_services->ShowMessage(this, kAppName, FromPath(kMsgSelectSvg));
        return;
    }
    if (m_outputPath.empty())
    {
        m_services->ShowMessage(this, kAppName, FromPath(kMsgInputDxf));
        return;
    }
    // A file named like the drawing may hold other work. Save As has asked already; the core refuses
    // to write over the input by itself, with its own message.
    const QString output = FromPath(m_outputPath);
    if (QFileInfo(output).isFile() && !MayReplace(output) && !orbelin::SameFile(m_inputPath, m_outputPath))
    {
        const QString question = tr("%1 already exists.\nDo you want to replace it?").arg(output);
        if (!m_services->AskReplace(this, kAppName, question))
            return;
    }

    QSettings profile(kProfileKey, kAppName);
    profile.setValue(kLastInputKey, FromPath(m_inputPath));
    profile.setValue(kLastOutputKey, output);

    StartRun({MakeRequest(m_inputPath, m_outputPath)}, false);
}

void COrbelinDlg::ConvertBatch(const QStringList& inputs)
{
    if (IsConverting() || inputs.isEmpty())
        return;
    m_batchRows.clear();
    std::vector<ConversionRequest> jobs;
    QStringList existing;
    for (const QString& input : inputs)
    {
        CBatchRow row;
        row.input = input;
        row.output = FromPath(orbelin::ProposeOutputPath(ToPath(input)));
        if (QFileInfo(row.output).isFile() && !MayReplace(row.output))
            existing << QFileInfo(row.output).fileName();
        m_batchRows << row;
    }
    // One question for all the files that exist already, not one per file.
    bool replace = true;
    if (!existing.isEmpty())
    {
        const QStringList shown = existing.mid(0, 10);
        QString question =
            tr("%n of the output files already exist:", nullptr, static_cast<int>(existing.size())) +
            QStringLiteral("\n") + shown.join(QLatin1Char('\n'));
        if (existing.size() > shown.size())
            question += QStringLiteral("\n...");
        question += QStringLiteral("\n") + tr("Do you want to replace them?");
        replace = m_services->AskReplace(this, kAppName, question);
    }
    for (CBatchRow& row : m_batchRows)
    {
        if (!replace && QFileInfo(row.output).isFile() && !MayReplace(row.output))
        {
            row.reason = tr("Not replaced: the output file exists.");
            continue;
        }
        jobs.push_back(MakeRequest(ToPath(row.input), ToPath(row.output)));
    }
    RememberFolder(inputs.back());
    if (jobs.empty())
    {
        m_services->ShowBatchResults(this, m_batchRows);
        emit ConversionFinished();
        return;
    }
    StartRun(std::move(jobs), true);
}

void COrbelinDlg::StartRun(std::vector<ConversionRequest> jobs, bool batch)
{
    m_batch = batch;
    m_closeAfterRun = false;
    // Until the run reports otherwise it counts as stopped, so that a run ending without a word
    // says nothing.
    m_singleResult = ConversionResult();
    m_singleResult.status = ConversionStatus::Cancelled;
    m_run = new CConversionRun(std::move(jobs), this);
    if (m_progressHook)
        m_run->SetProgressHook([hook = m_progressHook](int, int percent) { hook(percent); });
    connect(m_run, &CConversionRun::Progress, this, &COrbelinDlg::OnRunProgress);
    connect(m_run, &CConversionRun::JobDone, this, &COrbelinDlg::OnJobDone);
    connect(m_run, &CConversionRun::Finished, this, &COrbelinDlg::OnRunFinished);
    SetInputsEnabled(false);
    m_cancel->setFocus();
    m_run->Start();
}

void COrbelinDlg::SetInputsEnabled(bool enabled)
{
    for (QWidget* widget : std::initializer_list<QWidget*>{m_input, m_browseInput, m_output, m_browseOutput,
                                                           m_fill, m_exact, m_outputGroup, m_menuButton, m_convert})
        widget->setEnabled(enabled);
}

void COrbelinDlg::OnRunProgress(int job, int percent)
{
    if (!m_run)
        return;
    // Several files share the bar, each its part of it, so that it never runs backwards.
    const int count = m_run->JobCount();
    if (count > 1)
        percent = (job * 100 + percent) / count;
    // The last file's 100 ends the run; before that the bar stays in view.
    if (percent >= 100 && job + 1 < count)
        percent = 99;
    ShowProgress(percent);
}

void COrbelinDlg::OnJobDone(int job, const ConversionResult& result, double seconds)
{
    if (!m_run)
        return;
    if (result.ok())
        m_mayReplace << QFileInfo(FromPath(m_run->Job(job).outputPath)).absoluteFilePath();
    if (!m_batch)
    {
        // Said once the run is over: a question's own event loop must not see the run end.
        m_singleResult = result;
        return;
    }
    // Which row: the jobs are the rows that were not skipped, in order.
    const QString input = FromPath(m_run->Job(job).inputPath);
    for (CBatchRow& row : m_batchRows)
    {
        if (row.input != input || row.converted || !row.reason.isEmpty())
            continue;
        row.converted = result.ok();
        row.entities = result.entities;
        row.seconds = seconds;
        if (result.status == ConversionStatus::Cancelled)
            row.reason = tr("Stopped.");
        else if (!result.ok())
            row.reason = FromPath(result.reason.empty() ? result.message
                                                        : result.message + ": " + result.reason);
        break;
    }
}

void COrbelinDlg::OnRunFinished()
{
    if (!m_run)
        return;
    m_run->deleteLater();
    m_run = nullptr;
    SetInputsEnabled(true);
    if (m_batch)
    {
        m_progress->hide();
        for (CBatchRow& row : m_batchRows)
            if (!row.converted && row.reason.isEmpty())
                row.reason = tr("Not converted: the run was stopped.");
        if (!m_closeAfterRun)
            m_services->ShowBatchResults(this, m_batchRows);
    }
    else if (m_singleResult.status == ConversionStatus::Cancelled)
        m_progress->hide();
    else if (!m_singleResult.ok())
    {
        if (!m_singleResult.message.empty())
            m_services->ShowMessage(this, kAppName, FromPath(m_singleResult.message));
    }
    else
    {
        // What was left out is said before the question, which would otherwise hide it.
        if (!m_singleResult.notices.empty() && !m_closeAfterRun)
        {
            QStringList lines;
            for (const std::string& notice : m_singleResult.notices)
                lines << FromPath(notice);
            m_services->ShowMessage(this, kAppName, lines.join(QLatin1Char('\n')));
        }
        ShowFinishedQuestion(m_singleResult);
    }
    emit ConversionFinished();
    if (m_closeAfterRun)
        close();
}

void COrbelinDlg::ShowFinishedQuestion(const ConversionResult& result)
{
    const std::string folderPath =
        result.outputFolder.empty() ? orbelin::FolderOf(m_outputPath) : result.outputFolder;
    QString folder = FromPath(folderPath);
    // A bare file name was written into the working folder: offer that folder, not the file.
    if (orbelin::LastSeparator(folderPath) == std::string::npos)
        folder = QFileInfo(FromPath(m_outputPath)).absolutePath() + QLatin1Char('/');
    const QString question = QStringLiteral("%1 %2").arg(kQuestion, folder);
    switch (m_services->AskFinished(this, kQuestionCaption, question))
    {
    case CUiServices::FinishedAnswer::OpenFolder:
        m_services->OpenFolder(folder);
        break;
    case CUiServices::FinishedAnswer::OpenDrawing:
        if (!m_services->OpenDocument(QFileInfo(FromPath(m_outputPath)).absoluteFilePath()))
            m_services->ShowMessage(this, kAppName, tr("No application on this desktop opens DXF drawings."));
        break;
    case CUiServices::FinishedAnswer::Nothing:
        break;
    }
}

void COrbelinDlg::CancelConversion()
{
    if (m_run)
        m_run->Cancel();
}

void COrbelinDlg::reject()
{
    if (IsConverting())
    {
        CancelConversion();
        return;
    }
    QDialog::reject();
}

void COrbelinDlg::closeEvent(QCloseEvent* event)
{
    if (!IsConverting())
    {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    if (m_closeAfterRun)
        return;
    const QString question = tr("A conversion is running. Stop it and close the window?");
    if (m_services->AskYesNo(this, kAppName, question) && m_run)
    {
        // The window closes once the thread has given the file up; a half-written output never
        // stays behind.
        m_closeAfterRun = true;
        m_run->Cancel();
    }
}

void COrbelinDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (!IsConverting() && !LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void COrbelinDlg::dropEvent(QDropEvent* event)
{
    const QStringList files = LocalFiles(event->mimeData());
    if (IsConverting() || files.isEmpty())
        return;
    event->acceptProposedAction();
    OpenFiles(files);
}

void COrbelinDlg::OpenFiles(const QStringList& paths)
{
    if (IsConverting() || paths.isEmpty())
        return;
    if (paths.size() > 1)
    {
        ConvertBatch(paths);
        return;
    }
    m_input->setText(paths.front());
    ProposeOutput(paths.front());
    RememberFolder(paths.front());
}

void COrbelinDlg::ProposeOutput(const QString& input)
{
    // Never the input itself, even for a name without an extension.
    m_proposedOutput = input.isEmpty() ? QString() : FromPath(orbelin::ProposeOutputPath(ToPath(input)));
    m_output->setText(m_proposedOutput);
}

void COrbelinDlg::OnInputEdited(const QString& text)
{
    // The output follows the typed input while it is empty or still the last proposal; a path the
    // person typed or chose there stays.
    if (m_output->text().isEmpty() || m_output->text() == m_proposedOutput)
        ProposeOutput(text);
}

void COrbelinDlg::RememberFolder(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (folder.isEmpty())
        return;
    QSettings profile(kProfileKey, kAppName);
    profile.setValue(kLastFolderKey, folder);
}

bool COrbelinDlg::MayReplace(const QString& path) const
{
    return m_mayReplace.contains(QFileInfo(path).absoluteFilePath());
}

QString COrbelinDlg::StartFolder(const QString& fieldText) const
{
    if (!fieldText.isEmpty())
    {
        const QFileInfo field(fieldText);
        const QString folder = field.absolutePath();
        if (QFileInfo(folder).isDir())
            return folder;
    }
    QSettings profile(kProfileKey, kAppName);
    const QString last = profile.value(kLastFolderKey).toString();
    return QFileInfo(last).isDir() ? last : QString();
}

void COrbelinDlg::OnBrowseInput()
{
    const QStringList chosen =
        m_services->GetOpenFileNames(this, kSvgFilter, StartFolder(m_input->text()), QStringLiteral(".svg"));
    if (chosen.isEmpty())
        return;
    if (chosen.size() > 1)
    {
        ConvertBatch(chosen);
        return;
    }
    m_inputPath = ToPath(chosen.front());
    m_input->setText(chosen.front());
    ProposeOutput(chosen.front());
    m_outputPath = ToPath(m_output->text());
    RememberFolder(chosen.front());
}

void COrbelinDlg::OnBrowseOutput()
{
    const QString chosen =
        m_services->GetSaveFileName(this, kDxfFilter, StartFolder(m_output->text()), QStringLiteral(".dxf"));
    if (chosen.isEmpty())
        return;
    m_outputPath = ToPath(chosen);
    m_output->setText(FromPath(m_outputPath));
    m_mayReplace << QFileInfo(chosen).absoluteFilePath();
    RememberFolder(chosen);
}

void COrbelinDlg::OnFillOption()
{
    m_fillOption = m_fillOption == 0 ? 1 : 0;
}

void COrbelinDlg::OnExactSvg()
{
    m_exactSvg = m_exactSvg == 0 ? 1 : 0;
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

QString COrbelinDlg::HtmlHelpPath()
{
    const QDir program(QCoreApplication::applicationDirPath());
    for (const QString& relative :
         {QStringLiteral("help/index.html"), QStringLiteral("../share/doc/orbelin/html/index.html")})
    {
        const QString path = QDir::cleanPath(program.filePath(relative));
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

void COrbelinDlg::OnHelpCommand()
{
    // The compiled help where the desktop can show it, else the same pages in the browser.
    const QString compiled = HelpFilePath();
    if (QFileInfo::exists(compiled) && m_services->OpenDocument(compiled))
        return;
    const QString html = HtmlHelpPath();
    if (!html.isEmpty() && m_services->OpenDocument(html))
        return;
    m_services->ShowMessage(this, kAppName,
                            tr("The help cannot be shown: neither %1 nor the help pages in HTML could be "
                               "opened on this desktop.")
                                .arg(QDir::toNativeSeparators(compiled)));
}

void COrbelinDlg::OnAboutCommand()
{
    m_services->ShowAbout(this);
}
