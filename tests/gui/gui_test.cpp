// The main window's commands, driven through its widgets; the file dialogs, message boxes and the
// desktop are replaced by scripted answers so nobody has to sit in front of the window.
#include "app/about_dlg.h"
#include "app/batch_result_dlg.h"
#include "app/cool_btn.h"
#include "app/orbelin_dlg.h"
#include "app/text_progress_ctrl.h"
#include "app/ui_services.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <clocale>
#include <functional>
#include <memory>
#include <string>

namespace
{

const QString kProfileKey = QStringLiteral("Local AppWizard-Generated Applications");
const QString kQuestion =
    QStringLiteral("Convert finished, do you need to open the output folder now? \nOutput folder is ");

// A drawing with a little of everything, so that the two front ends have real work to agree on.
const char* const kDrawing =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"120\">\n"
    "  <g id=\"Outlines\" stroke=\"#ff0000\" stroke-width=\"0.5\" fill=\"none\">\n"
    "    <line x1=\"10.5\" y1=\"10.25\" x2=\"190\" y2=\"10.25\"/>\n"
    "    <rect x=\"20\" y=\"30\" width=\"60.5\" height=\"40.75\"/>\n"
    "    <path d=\"M 100 80 C 120 20 160 20 180 80 Q 140 110 100 80 z\"/>\n"
    "  </g>\n"
    "  <g id=\"Fills\">\n"
    "    <circle cx=\"50\" cy=\"95\" r=\"12.5\" fill=\"#00ff00\"/>\n"
    "    <ellipse cx=\"150\" cy=\"100\" rx=\"20\" ry=\"7.5\" fill=\"blue\"/>\n"
    "    <text x=\"20\" y=\"115\" font-size=\"8\" font-family=\"Arial\">Orbelin 1.5</text>\n"
    "  </g>\n"
    "</svg>\n";

class CFakeUiServices : public CUiServices
{
  public:
    QStringList GetOpenFileNames(QWidget*, const QString& filter, const QString& folder,
                                 const QString& initialName) override
    {
        openFilter = filter;
        openFolder = folder;
        openName = initialName;
        if (!openAnswers.isEmpty())
            return openAnswers;
        return openAnswer.isEmpty() ? QStringList() : QStringList{openAnswer};
    }
    QString GetSaveFileName(QWidget*, const QString& filter, const QString& folder,
                            const QString& initialName) override
    {
        saveFilter = filter;
        saveFolder = folder;
        saveName = initialName;
        return saveAnswer;
    }
    void ShowMessage(QWidget*, const QString& caption, const QString& text) override
    {
        captions << caption;
        messages << text;
    }
    bool AskYesNo(QWidget*, const QString& caption, const QString& text) override
    {
        yesNoQuestions << text;
        if (onAsk)
            onAsk();
        (void)caption;
        return yesNoAnswer;
    }
    bool AskReplace(QWidget*, const QString&, const QString& text) override
    {
        replaceQuestions << text;
        return replaceAnswer;
    }
    FinishedAnswer AskFinished(QWidget*, const QString& caption, const QString& text) override
    {
        questionCaptions << caption;
        questions << text;
        if (openDrawing)
            return FinishedAnswer::OpenDrawing;
        return answer ? FinishedAnswer::OpenFolder : FinishedAnswer::Nothing;
    }
    void OpenFolder(const QString& folder) override { openedFolders << folder; }
    bool OpenDocument(const QString& path) override
    {
        triedDocuments << path;
        if (!canOpen.isEmpty() && !canOpen.contains(QFileInfo(path).suffix()))
            return false;
        openedDocuments << path;
        return true;
    }
    void ShowAbout(QWidget*) override { ++abouts; }
    void ShowBatchResults(QWidget*, const QList<CBatchRow>& rows) override { batches << rows; }

    QString openAnswer, saveAnswer;
    QStringList openAnswers;
    QString openFilter, openFolder, openName, saveFilter, saveFolder, saveName;
    QStringList captions, messages;
    QStringList questionCaptions, questions;
    bool answer = true;
    bool openDrawing = false;
    QStringList yesNoQuestions;
    bool yesNoAnswer = true;
    std::function<void()> onAsk;
    QStringList replaceQuestions;
    bool replaceAnswer = false;
    QStringList openedFolders, openedDocuments, triedDocuments;
    QStringList canOpen; // suffixes the desktop opens; empty: every one
    int abouts = 0;
    QList<QList<CBatchRow>> batches;
};

// Counts the paint events a widget receives and notes the bar's position at each.
class CPaintRecorder : public QObject
{
  public:
    explicit CPaintRecorder(CTextProgressCtrl* bar) : m_bar(bar) { bar->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_bar && event->type() == QEvent::Paint)
            positions.push_back(m_bar->GetPos());
        return false;
    }
    std::vector<int> positions;

  private:
    CTextProgressCtrl* m_bar;
};

// Restores the C library's locale however the test ends.
class CLocaleGuard
{
  public:
    CLocaleGuard() : m_saved(std::setlocale(LC_ALL, nullptr)) {}
    ~CLocaleGuard() { std::setlocale(LC_ALL, m_saved.c_str()); }

  private:
    std::string m_saved;
};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A drawing whose only top-level element is a group of many lines: long enough to stop in the
// middle, and a walk by top-level elements would not move the bar through it.
QByteArray LargeDrawing()
{
    QByteArray svg = "<svg width=\"1000\" height=\"1000\"><g id=\"all\">";
    for (int i = 0; i < 4000; ++i)
        svg +=
            QStringLiteral("<line x1=\"%1\" y1=\"0\" x2=\"10\" y2=\"%2\"/>").arg(i % 997).arg(i).toLatin1();
    return svg + "</g></svg>";
}

// Holds the run on its converting thread once the progress reaches a value, until released: the
// test then acts while the conversion is certainly in the middle, on any machine.
class CRunPause
{
  public:
    explicit CRunPause(int at) : m_at(at) {}
    std::function<void(int)> Hook()
    {
        return [this](int percent)
        {
            if (percent < m_at || m_paused.exchange(true))
                return;
            m_release.tryAcquire(1, 60000);
        };
    }
    bool Paused() const { return m_paused.load(); }
    void Release() { m_release.release(); }

  private:
    const int m_at;
    std::atomic<bool> m_paused{false};
    QSemaphore m_release;
};

// The entities of a DXF file's ENTITIES section, counted by their "0" groups.
qulonglong EntityCount(const QByteArray& dxf)
{
    const QList<QByteArray> lines = dxf.split('\n');
    qulonglong count = 0;
    bool inEntities = false;
    for (int i = 0; i + 1 < lines.size(); i += 2)
    {
        const QByteArray code = lines[i].trimmed();
        const QByteArray value = lines[i + 1].trimmed();
        if (code == "2" && value == "ENTITIES")
            inEntities = true;
        else if (code == "0" && value == "ENDSEC")
            inEntities = false;
        else if (code == "0" && inEntities)
            ++count;
    }
    return count;
}

// Files in the folder whose names start with the output's name: the output and any temporary.
QStringList OutputAndTemporaries(const QString& output)
{
    const QFileInfo info(output);
    return QDir(info.absolutePath()).entryList({info.fileName() + QLatin1Char('*')}, QDir::Files);
}

int Lightness(QRgb pixel)
{
    return QColor(pixel).lightness();
}

} // namespace

class GuiTest : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();

    void proposesOutputPathBesideInput_data();
    void proposesOutputPathBesideInput();
    void browseOutputKeepsTypedInput();
    void cancelledBrowsingChangesNothing();
    void fillOptionIsStoredAtExit_data();
    void fillOptionIsStoredAtExit();
    void exactSvgIsStoredAtExit_data();
    void exactSvgIsStoredAtExit();
    void outputChoiceIsStoredAndConverts_data();
    void outputChoiceIsStoredAndConverts();
    void missingPathIsReported_data();
    void missingPathIsReported();
    void unwritableOutputLeavesBarAt15();
    void convertsLikeTheCommandLine();
    void bareOutputNameOffersWorkingFolder();
    void commaLocaleWritesSameBytes();
    void progressBarFillsAndReadsPercent();
    void progressBarRepaintsOnlyWhenWidthChanges();
    void helpOpensFileBesideProgram();
    void aboutFromMenuAndContextMenu();
    void menuOpensUnderButton();
    void enterAndEscapeClose_data();
    void enterAndEscapeClose();

    void cancelMidRun_data();
    void cancelMidRun();
    void closeMidRun_data();
    void closeMidRun();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void rememberedFolders_data();
    void rememberedFolders();
    void lastPathsComeBack();
    void typedInputProposesOutput_data();
    void typedInputProposesOutput();
    void dropOneFile();
    void severalFilesConvertInTurn_data();
    void severalFilesConvertInTurn();
    void helpFallsBackToHtml_data();
    void helpFallsBackToHtml();
    void finishedQuestionOpensDrawing_data();
    void finishedQuestionOpensDrawing();
    void aboutNamesLicenceAndLibraries();
    void batchResultTexts();

  private:
    std::unique_ptr<COrbelinDlg> MakeDialog();
    QLineEdit* Input() const { return m_dialog->findChild<QLineEdit*>(QStringLiteral("inputPath")); }
    QLineEdit* Output() const { return m_dialog->findChild<QLineEdit*>(QStringLiteral("outputPath")); }
    CTextProgressCtrl* Bar() const
    {
        return m_dialog->findChild<CTextProgressCtrl*>(QStringLiteral("progress"));
    }
    void Click(const char* name) const { m_dialog->findChild<QPushButton*>(QLatin1String(name))->click(); }
    // Presses Convert and waits until the run it started, if any, has ended.
    void ConvertAndWait() const
    {
        QSignalSpy finished(m_dialog.get(), &COrbelinDlg::ConversionFinished);
        Click("convert");
        if (m_dialog->IsConverting())
            QVERIFY(finished.wait(60000));
    }
    QString Scratch(const QString& name) const { return m_scratch.filePath(name); }
    QByteArray ConvertWithCli(const QString& svg, const QString& dxf);

    QTemporaryDir m_settings;
    QTemporaryDir m_scratch;
    CFakeUiServices* m_ui = nullptr; // owned by m_dialog
    std::unique_ptr<COrbelinDlg> m_dialog;
};

void GuiTest::initTestCase()
{
    // As the program does right after creating its QApplication.
    std::setlocale(LC_NUMERIC, "C");
    QVERIFY(m_settings.isValid());
    QVERIFY(m_scratch.isValid());
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
    WriteAll(Scratch(QStringLiteral("drawing.svg")), kDrawing);
    WriteAll(Scratch(QStringLiteral("large.svg")), LargeDrawing());
}

void GuiTest::init()
{
    m_dialog.reset();
    QSettings profile(kProfileKey, QStringLiteral("Orbelin"));
    profile.clear();
    profile.sync();
}

std::unique_ptr<COrbelinDlg> GuiTest::MakeDialog()
{
    auto ui = std::make_unique<CFakeUiServices>();
    m_ui = ui.get();
    auto dialog = std::make_unique<COrbelinDlg>(std::move(ui));
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get()))
        qWarning("the window was not exposed");
    return dialog;
}

QByteArray GuiTest::ConvertWithCli(const QString& svg, const QString& dxf)
{
    QProcess cli;
    cli.start(QStringLiteral(ORBELIN_CONVERT_EXE), {svg, dxf});
    if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
    {
        qWarning() << "orbelin-convert failed:" << cli.readAllStandardError();
        return {};
    }
    return ReadAll(dxf);
}

void GuiTest::proposesOutputPathBesideInput_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("extension replaced") << "/a/b.svg"
                                        << "/a/b.dxf";
    QTest::newRow("dot in folder name") << "/a.x/b.svg"
                                        << "/a.x/b.dxf";
    QTest::newRow("no extension, dot in folder") << "/a.x/drawing"
                                                 << "/a.x/drawing.dxf";
}

void GuiTest::proposesOutputPathBesideInput()
{
    QFETCH(QString, chosen);
    QFETCH(QString, proposed);
    m_dialog = MakeDialog();
    Output()->setText(QStringLiteral("old.dxf"));
    m_ui->openAnswer = chosen;
    Click("browseInput");
    QCOMPARE(Input()->text(), chosen);
    QCOMPARE(Output()->text(), proposed);
    QCOMPARE(m_ui->openFilter, QStringLiteral("SVG Files (*.svg);;All Files (*)"));
    QCOMPARE(m_ui->openName, QStringLiteral(".svg"));
}

void GuiTest::browseOutputKeepsTypedInput()
{
    m_dialog = MakeDialog();
    m_ui->openAnswer = QStringLiteral("/a/first.svg");
    Click("browseInput");
    Input()->setText(QStringLiteral("/typed/later.svg"));
    m_ui->saveAnswer = QStringLiteral("/x/y.dxf");
    Click("browseOutput");
    QCOMPARE(Output()->text(), QStringLiteral("/x/y.dxf"));
    QCOMPARE(Input()->text(), QStringLiteral("/typed/later.svg"));
    QCOMPARE(m_ui->saveFilter, QStringLiteral("AutoCAD DXF Files (*.dxf);;All Files (*)"));
    QCOMPARE(m_ui->saveName, QStringLiteral(".dxf"));
}

void GuiTest::cancelledBrowsingChangesNothing()
{
    m_dialog = MakeDialog();
    Input()->setText(QStringLiteral("in.svg"));
    Output()->setText(QStringLiteral("out.dxf"));
    Click("browseInput");
    Click("browseOutput");
    QCOMPARE(Input()->text(), QStringLiteral("in.svg"));
    QCOMPARE(Output()->text(), QStringLiteral("out.dxf"));
}

void GuiTest::fillOptionIsStoredAtExit_data()
{
    QTest::addColumn<int>("stored"); // -1: nothing stored yet
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("checkedAtStart");
    QTest::addColumn<int>("saved");
    QTest::newRow("default on, one click") << -1 << 1 << true << 0;
    QTest::newRow("default on, untouched") << -1 << 0 << true << 1;
    QTest::newRow("stored off, three clicks") << 0 << 3 << false << 1;
    QTest::newRow("stored on, two clicks") << 1 << 2 << true << 1;
}

void GuiTest::fillOptionIsStoredAtExit()
{
    QFETCH(int, stored);
    QFETCH(int, clicks);
    QFETCH(bool, checkedAtStart);
    QFETCH(int, saved);
    if (stored >= 0)
    {
        QSettings profile(kProfileKey, QStringLiteral("Orbelin"));
        profile.setValue(QStringLiteral("Orbelin/FillOption"), stored);
    }
    m_dialog = MakeDialog();
    auto* check = m_dialog->findChild<QCheckBox*>(QStringLiteral("fillOption"));
    QCOMPARE(check->isChecked(), checkedAtStart);
    for (int i = 0; i < clicks; ++i)
        QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(check->isChecked(), saved != 0);
    m_dialog.reset();
    QSettings profile(kProfileKey, QStringLiteral("Orbelin"));
    QCOMPARE(profile.value(QStringLiteral("Orbelin/FillOption")).toInt(), saved);
}

void GuiTest::exactSvgIsStoredAtExit_data()
{
    QTest::addColumn<int>("stored"); // -1: nothing stored yet
    QTest::addColumn<int>("clicks");
    QTest::addColumn<bool>("checkedAtStart");
    QTest::addColumn<int>("saved");
    QTest::newRow("default off, untouched") << -1 << 0 << false << 0;
    QTest::newRow("default off, one click") << -1 << 1 << false << 1;
    QTest::newRow("stored on, one click") << 1 << 1 << true << 0;
    QTest::newRow("stored on, two clicks") << 1 << 2 << true << 1;
}

// The exact reading is saved under its own key, beside the fill option and independent of it.
void GuiTest::exactSvgIsStoredAtExit()
{
    QFETCH(int, stored);
    QFETCH(int, clicks);
    QFETCH(bool, checkedAtStart);
    QFETCH(int, saved);
    if (stored >= 0)
    {
        QSettings profile(kProfileKey, QStringLiteral("Orbelin"));
        profile.setValue(QStringLiteral("Orbelin/ExactSvg"), stored);
    }
    m_dialog = MakeDialog();
    auto* check = m_dialog->findChild<QCheckBox*>(QStringLiteral("exactSvg"));
    QVERIFY(check != nullptr);
    QCOMPARE(check->text(), QStringLiteral("Exact SVG geometry"));
    QCOMPARE(check->isChecked(), checkedAtStart);
    const bool fillAtStart = m_dialog->findChild<QCheckBox*>(QStringLiteral("fillOption"))->isChecked();
    for (int i = 0; i < clicks; ++i)
        QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(check->isChecked(), saved != 0);
    QCOMPARE(m_dialog->ExactSvg(), saved);
    QCOMPARE(m_dialog->findChild<QCheckBox*>(QStringLiteral("fillOption"))->isChecked(), fillAtStart);
    m_dialog.reset();
    QSettings profile(kProfileKey, QStringLiteral("Orbelin"));
    QCOMPARE(profile.value(QStringLiteral("Orbelin/ExactSvg")).toInt(), saved);
}

void GuiTest::outputChoiceIsStoredAndConverts_data()
{
    QTest::addColumn<QString>("choice");       // the combo box and the last part of its settings key
    QTest::addColumn<QString>("stored");       // its stored value, empty: nothing stored yet
    QTest::addColumn<QString>("shownAtStart");
    QTest::addColumn<QString>("chosen");       // the text chosen, empty: left as it is
    QTest::addColumn<QString>("saved");        // its value stored at the end
    QTest::addColumn<QString>("textForm");     // the text form stored beforehand, empty: none
    QTest::addColumn<QByteArray>("needle");    // bytes the output must hold, or not
    QTest::addColumn<bool>("present");
    const QByteArray declared = "$INSUNITS";
    QTest::newRow("units default none, untouched")
        << "Units" << "" << "None" << "" << "none" << "" << declared << false;
    QTest::newRow("units default none, mm chosen")
        << "Units" << "" << "None" << "mm" << "mm" << "" << QByteArray("$INSUNITS\n 70\n4\n") << true;
    QTest::newRow("units stored in, kept")
        << "Units" << "in" << "in" << "" << "in" << "" << QByteArray("$INSUNITS\n 70\n1\n") << true;
    QTest::newRow("units stored cm, back to none")
        << "Units" << "cm" << "cm" << "None" << "none" << "" << declared << false;
    QTest::newRow("units stored px, cm chosen")
        << "Units" << "px" << "px" << "cm" << "cm" << "" << QByteArray("$INSUNITS\n 70\n5\n") << true;
    QTest::newRow("units unknown stored value reads as none")
        << "Units" << "furlong" << "None" << "" << "none" << "" << declared << false;
    // The drawing's text outlined with native curves is the one place a spline must come out.
    const QByteArray spline = "\nSPLINE\n";
    QTest::newRow("curves default flatten")
        << "Curves" << "" << "Flatten" << "" << "flatten" << "outlines" << spline << false;
    QTest::newRow("curves native chosen")
        << "Curves" << "" << "Flatten" << "Native" << "native" << "outlines" << spline << true;
    QTest::newRow("curves native kept")
        << "Curves" << "native" << "Native" << "" << "native" << "outlines" << spline << true;
    QTest::newRow("curves unknown reads as flatten")
        << "Curves" << "bezier" << "Flatten" << "" << "flatten" << "outlines" << spline << false;
    const QByteArray text = "\nTEXT\n";
    QTest::newRow("text default entities")
        << "Text" << "" << "Entities" << "" << "entities" << "" << text << true;
    QTest::newRow("text outlines chosen")
        << "Text" << "" << "Entities" << "Outlines" << "outlines" << "" << text << false;
    QTest::newRow("text outlines back to entities")
        << "Text" << "outlines" << "Outlines" << "Entities" << "entities" << "" << text << true;
}

void GuiTest::outputChoiceIsStoredAndConverts()
{
    QFETCH(QString, choice);
    QFETCH(QString, stored);
    QFETCH(QString, shownAtStart);
    QFETCH(QString, chosen);
    QFETCH(QString, saved);
    QFETCH(QString, textForm);
    QFETCH(QByteArray, needle);
    QFETCH(bool, present);
    const QString key = QStringLiteral("Orbelin/") + choice;
    {
        QSettings profile(kProfileKey, QStringLiteral("Orbelin"));
        if (!textForm.isEmpty())
            profile.setValue(QStringLiteral("Orbelin/Text"), textForm);
        if (!stored.isEmpty())
            profile.setValue(key, stored);
    }
    m_dialog = MakeDialog();
    auto* box = m_dialog->findChild<QComboBox*>(choice.toLower());
    QVERIFY(box);
    QVERIFY(m_dialog->findChild<QGroupBox*>(QStringLiteral("outputGroup"))->isAncestorOf(box));
    QCOMPARE(box->currentText(), shownAtStart);
    if (!chosen.isEmpty())
        box->setCurrentIndex(box->findText(chosen));

    const QString output = Scratch(QStringLiteral("choices.dxf"));
    QFile::remove(output);
    Input()->setText(Scratch(QStringLiteral("drawing.svg")));
    Output()->setText(output);
    ConvertAndWait();
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(ReadAll(output).contains(needle), present);

    m_dialog.reset();
    QSettings profile(kProfileKey, QStringLiteral("Orbelin"));
    QCOMPARE(profile.value(key).toString(), saved);
}

void GuiTest::missingPathIsReported_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("message");
    QTest::newRow("no input") << ""
                              << "out.dxf"
                              << "Select svg file.";
    QTest::newRow("nothing") << ""
                             << ""
                             << "Select svg file.";
    QTest::newRow("no output") << "in.svg"
                               << ""
                               << "Input dxf file.";
}

void GuiTest::missingPathIsReported()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, message);
    m_dialog = MakeDialog();
    Input()->setText(input);
    Output()->setText(output);
    ConvertAndWait();
    QCOMPARE(m_ui->messages, QStringList{message});
    QCOMPARE(m_ui->captions, QStringList{QStringLiteral("Orbelin")});
    QVERIFY(m_ui->questions.isEmpty());
    QVERIFY(Bar()->isHidden());
}

void GuiTest::unwritableOutputLeavesBarAt15()
{
    m_dialog = MakeDialog();
    const QString output = Scratch(QStringLiteral("no-such-folder/out.dxf"));
    Input()->setText(Scratch(QStringLiteral("drawing.svg")));
    Output()->setText(output);
    ConvertAndWait();
    QCOMPARE(m_ui->messages, QStringList{QStringLiteral("Failed to write file(%1)").arg(output)});
    QCOMPARE(m_ui->captions, QStringList{QStringLiteral("Orbelin")});
    QVERIFY(m_ui->questions.isEmpty());
    QVERIFY(Bar()->isVisible());
    QCOMPARE(Bar()->GetPos(), 15);

    // The window stays usable, and the next good conversion hides the bar again.
    Output()->setText(Scratch(QStringLiteral("after-failure.dxf")));
    m_ui->answer = false;
    ConvertAndWait();
    QCOMPARE(m_ui->questions.size(), 1);
    QVERIFY(Bar()->isHidden());
}

void GuiTest::convertsLikeTheCommandLine()
{
    const QString svg = Scratch(QStringLiteral("drawing.svg"));
    const QString viaWindow = Scratch(QStringLiteral("window.dxf"));
    const QByteArray expected = ConvertWithCli(svg, Scratch(QStringLiteral("cli.dxf")));
    QVERIFY(!expected.isEmpty());

    m_dialog = MakeDialog();
    CPaintRecorder recorder(Bar());
    Input()->setText(svg);
    Output()->setText(viaWindow);
    ConvertAndWait();

    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(ReadAll(viaWindow), expected);
    const QString folder = m_scratch.path() + QLatin1Char('/');
    QCOMPARE(m_ui->questions, QStringList{kQuestion + folder});
    QCOMPARE(m_ui->questionCaptions, QStringList{QStringLiteral("Tessaro SVG to DXF")});
    QCOMPARE(m_ui->openedFolders, QStringList{folder});
    // The bar painted itself while the conversion held the thread: from 0 up to 100, then hidden.
    QVERIFY(recorder.positions.size() >= 3);
    QCOMPARE(recorder.positions.front(), 0);
    QCOMPARE(recorder.positions.back(), 100);
    QVERIFY(std::is_sorted(recorder.positions.begin(), recorder.positions.end()));
    QVERIFY(Bar()->isHidden());

    // No opens nothing; a second conversion gives the same file.
    m_ui->answer = false;
    QFile::remove(viaWindow);
    ConvertAndWait();
    QCOMPARE(m_ui->questions.size(), 2);
    QCOMPARE(m_ui->openedFolders.size(), 1);
    QCOMPARE(ReadAll(viaWindow), expected);
}

void GuiTest::bareOutputNameOffersWorkingFolder()
{
    const QString saved = QDir::currentPath();
    QDir::setCurrent(m_scratch.path());
    m_dialog = MakeDialog();
    Input()->setText(QStringLiteral("drawing.svg"));
    Output()->setText(QStringLiteral("bare.dxf"));
    ConvertAndWait();
    QDir::setCurrent(saved);
    QVERIFY(QFile::exists(Scratch(QStringLiteral("bare.dxf"))));
    const QString folder = m_scratch.path() + QLatin1Char('/');
    QCOMPARE(m_ui->questions, QStringList{kQuestion + folder});
    QCOMPARE(m_ui->openedFolders, QStringList{folder});
}

void GuiTest::commaLocaleWritesSameBytes()
{
    const QString svg = Scratch(QStringLiteral("drawing.svg"));
    const QByteArray expected = ConvertWithCli(svg, Scratch(QStringLiteral("cli-c.dxf")));
    QVERIFY(!expected.isEmpty());

    CLocaleGuard guard;
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        QSKIP("the de_DE.UTF-8 locale is not installed");
    QCOMPARE(QString::fromLatin1(std::localeconv()->decimal_point), QStringLiteral(","));
    m_dialog = MakeDialog();
    Input()->setText(svg);
    Output()->setText(Scratch(QStringLiteral("window-de.dxf")));
    ConvertAndWait();
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(ReadAll(Scratch(QStringLiteral("window-de.dxf"))), expected);
}

void GuiTest::progressBarFillsAndReadsPercent()
{
    CTextProgressCtrl bar;
    bar.resize(300 + 2 * bar.frameWidth(), 24);
    QCOMPARE(bar.contentsRect().width(), 300);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));

    QCOMPARE(bar.SetPos(12), 0);
    QCOMPARE(bar.DrawnWidth(), 36);
    QCOMPARE(bar.DisplayText(), QStringLiteral("12%"));
    const QRect client = bar.contentsRect();
    const QColor barColour = bar.palette().color(QPalette::Highlight);
    const QColor emptyColour = bar.palette().color(QPalette::Base);
    QImage image = bar.grab().toImage();
    QCOMPARE(QColor(image.pixel(client.left() + 35, client.top() + 1)), barColour);
    QCOMPARE(QColor(image.pixel(client.left() + 36, client.top() + 1)), emptyColour);

    // At 50 the text straddles the edge: light on the bar, dark on the empty part.
    QCOMPARE(bar.SetPos(50), 12);
    image = bar.grab().toImage();
    bool lightOnBar = false;
    bool darkOnEmpty = false;
    for (int y = client.top(); y <= client.bottom(); ++y)
    {
        for (int x = client.left(); x < client.left() + 150; ++x)
            lightOnBar |= Lightness(image.pixel(x, y)) > barColour.lightness() + 60;
        for (int x = client.left() + 150; x <= client.right(); ++x)
            darkOnEmpty |= Lightness(image.pixel(x, y)) < emptyColour.lightness() - 60;
    }
    QVERIFY(lightOnBar);
    QVERIFY(darkOnEmpty);
}

void GuiTest::progressBarRepaintsOnlyWhenWidthChanges()
{
    CTextProgressCtrl bar;
    bar.resize(50 + 2 * bar.frameWidth(), 24);
    bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&bar));
    QCoreApplication::processEvents();
    CPaintRecorder recorder(&bar);

    bar.SetPos(20); // 10 pixels, painted before SetPos returns
    QCOMPARE(recorder.positions.size(), std::size_t{1});
    QCOMPARE(bar.SetPos(21), 20); // 10.5 pixels: still 10
    QCoreApplication::processEvents();
    QCOMPARE(recorder.positions.size(), std::size_t{1});
    bar.SetPos(22); // 11 pixels
    QCOMPARE(recorder.positions.size(), std::size_t{2});
}

void GuiTest::helpOpensFileBesideProgram()
{
    m_dialog = MakeDialog();
    auto* menuButton = m_dialog->findChild<CCoolBtn*>(QStringLiteral("menuButton"));
    const QList<QAction*> entries = menuButton->Menu()->actions();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0]->text(), QStringLiteral("&Help"));
    QCOMPARE(entries[1]->text(), QStringLiteral("&About"));

    const QString help = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Orbelin.chm"));
    QCOMPARE(COrbelinDlg::HelpFilePath(), help);
    QFile::remove(help);
    entries[0]->trigger();
    QVERIFY(m_ui->openedDocuments.isEmpty());
    // Nothing to show is said, not swallowed.
    QCOMPARE(m_ui->messages.size(), 1);

    WriteAll(help, "ITSF");
    entries[0]->trigger();
    QFile::remove(help);
    QCOMPARE(m_ui->openedDocuments, QStringList{help});
    QCOMPARE(m_ui->messages.size(), 1);
}

void GuiTest::aboutFromMenuAndContextMenu()
{
    m_dialog = MakeDialog();
    auto* menuButton = m_dialog->findChild<CCoolBtn*>(QStringLiteral("menuButton"));
    menuButton->Menu()->actions().at(1)->trigger();
    QCOMPARE(m_ui->abouts, 1);
    auto* contextAbout = m_dialog->findChild<QAction*>(QStringLiteral("aboutAction"));
    QVERIFY(contextAbout);
    QCOMPARE(contextAbout->text(), QStringLiteral("&About Orbelin..."));
    QVERIFY(m_dialog->actions().contains(contextAbout));
    contextAbout->trigger();
    QCOMPARE(m_ui->abouts, 2);
}

void GuiTest::menuOpensUnderButton()
{
    m_dialog = MakeDialog();
    auto* button = m_dialog->findChild<CCoolBtn*>(QStringLiteral("menuButton"));
    QPoint shownAt;
    bool drawnPressed = false;
    // The menu runs its own loop; this closes it from inside once it is up.
    QTimer::singleShot(0, button,
                       [&]
                       {
                           if (button->Menu()->isVisible())
                           {
                               shownAt = button->Menu()->pos();
                               drawnPressed = button->isDown();
                           }
                           button->Menu()->close();
                       });
    QTest::mousePress(button, Qt::LeftButton);
    QCOMPARE(shownAt, button->mapToGlobal(QPoint(0, button->height())));
    QVERIFY(drawnPressed);
    QVERIFY(!button->isDown());
    QVERIFY(m_ui->openedDocuments.isEmpty());
    QCOMPARE(m_ui->abouts, 0);
}

void GuiTest::enterAndEscapeClose_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("keypad enter") << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void GuiTest::enterAndEscapeClose()
{
    QFETCH(int, key);
    QFETCH(int, result);
    m_dialog = MakeDialog();
    Input()->setFocus();
    QTest::keyClick(Input(), static_cast<Qt::Key>(key));
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), result);
    QVERIFY(m_ui->messages.isEmpty());
}

void GuiTest::cancelMidRun_data()
{
    QTest::addColumn<bool>("escape");       // else the Cancel button
    QTest::addColumn<bool>("outputExists"); // an earlier file where the output goes
    QTest::newRow("cancel button") << false << false;
    QTest::newRow("escape over an earlier file") << true << true;
    QTest::newRow("cancel button over an earlier file") << false << true;
}

void GuiTest::cancelMidRun()
{
    QFETCH(bool, escape);
    QFETCH(bool, outputExists);
    const QString output = Scratch(QStringLiteral("cancelled.dxf"));
    QFile::remove(output);
    if (outputExists)
        WriteAll(output, "earlier work");
    m_dialog = MakeDialog();
    CRunPause pause(40);
    m_dialog->SetProgressHook(pause.Hook());
    m_ui->replaceAnswer = true;
    Input()->setText(Scratch(QStringLiteral("large.svg")));
    Output()->setText(output);
    QSignalSpy finished(m_dialog.get(), &COrbelinDlg::ConversionFinished);
    Click("convert");
    QTRY_VERIFY_WITH_TIMEOUT(pause.Paused(), 60000);

    // While it runs the window answers, takes no other command, and only Cancel is live.
    QVERIFY(m_dialog->IsConverting());
    auto* cancel = m_dialog->findChild<QPushButton*>(QStringLiteral("cancel"));
    QVERIFY(cancel->isEnabled());
    for (const char* name : {"convert", "browseInput", "browseOutput", "menuButton"})
        QVERIFY2(!m_dialog->findChild<QPushButton*>(QLatin1String(name))->isEnabled(), name);
    QVERIFY(!Input()->isEnabled());
    QVERIFY(!Output()->isEnabled());
    QVERIFY(!m_dialog->findChild<QCheckBox*>(QStringLiteral("fillOption"))->isEnabled());
    for (const char* name : {"units", "curves", "text"})
        QVERIFY2(!m_dialog->findChild<QComboBox*>(QLatin1String(name))->isEnabled(), name);
    QTest::keyClick(m_dialog.get(), Qt::Key_Return);
    QVERIFY(m_dialog->isVisible());
    if (escape)
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    else
        cancel->click();
    pause.Release();
    QVERIFY(finished.wait(60000));

    QVERIFY(m_dialog->isVisible());
    QVERIFY(!m_dialog->IsConverting());
    QVERIFY(m_ui->questions.isEmpty());
    QVERIFY(m_ui->messages.isEmpty());
    QVERIFY(Bar()->isHidden());
    QCOMPARE(OutputAndTemporaries(output),
             outputExists ? QStringList{QStringLiteral("cancelled.dxf")} : QStringList());
    if (outputExists)
        QCOMPARE(ReadAll(output), QByteArray("earlier work"));

    // Usable again: the next conversion runs to its end.
    QVERIFY(Input()->isEnabled());
    Input()->setText(Scratch(QStringLiteral("drawing.svg")));
    m_ui->answer = false;
    ConvertAndWait();
    QCOMPARE(m_ui->questions.size(), 1);
    QVERIFY(EntityCount(ReadAll(output)) > 0);
}

void GuiTest::closeMidRun_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("stop and close") << true;
    QTest::newRow("keep running") << false;
}

void GuiTest::closeMidRun()
{
    QFETCH(bool, stop);
    const QString output = Scratch(QStringLiteral("closed.dxf"));
    QFile::remove(output);
    m_dialog = MakeDialog();
    CRunPause pause(30);
    m_dialog->SetProgressHook(pause.Hook());
    m_ui->yesNoAnswer = stop;
    m_ui->answer = false;
    Input()->setText(Scratch(QStringLiteral("large.svg")));
    Output()->setText(output);
    QSignalSpy finished(m_dialog.get(), &COrbelinDlg::ConversionFinished);
    Click("convert");
    QTRY_VERIFY_WITH_TIMEOUT(pause.Paused(), 60000);
    QVERIFY(!m_dialog->close());
    QCOMPARE(m_ui->yesNoQuestions,
             QStringList{QStringLiteral("A conversion is running. Stop it and close the window?")});
    QVERIFY(m_dialog->isVisible());
    pause.Release();
    QVERIFY(finished.wait(60000));
    QTRY_COMPARE(m_dialog->isVisible(), !stop);
    QCOMPARE(QFile::exists(output), !stop);
    QCOMPARE(OutputAndTemporaries(output).size(), stop ? 0 : 1);
    QCOMPARE(m_ui->questions.size(), stop ? 0 : 1);
}

void GuiTest::overwriteQuestion_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("savedAs"); // the output was chosen through Save As
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("new file") << false << false << false << false << true;
    QTest::newRow("typed over a file, No") << true << false << false << true << false;
    QTest::newRow("typed over a file, Yes") << true << false << true << true << true;
    QTest::newRow("chosen through Save As") << true << true << false << false << true;
}

void GuiTest::overwriteQuestion()
{
    QFETCH(bool, exists);
    QFETCH(bool, savedAs);
    QFETCH(bool, yes);
    QFETCH(bool, asked);
    QFETCH(bool, replaced);
    const QString output = Scratch(QStringLiteral("overwrite.dxf"));
    QFile::remove(output);
    if (exists)
        WriteAll(output, "other work");
    m_dialog = MakeDialog();
    m_ui->replaceAnswer = yes;
    m_ui->answer = false;
    Input()->setText(Scratch(QStringLiteral("drawing.svg")));
    if (savedAs)
    {
        m_ui->saveAnswer = output;
        Click("browseOutput");
    }
    else
        Output()->setText(output);
    ConvertAndWait();
    QCOMPARE(m_ui->replaceQuestions.size(), asked ? 1 : 0);
    if (asked)
        QVERIFY(m_ui->replaceQuestions.front().contains(output));
    QCOMPARE(ReadAll(output) != "other work", replaced);
    QCOMPARE(m_ui->questions.size(), replaced ? 1 : 0);
    QVERIFY(m_ui->messages.isEmpty());

    // A file this window wrote itself is replaced without asking again.
    if (replaced)
    {
        const int asks = m_ui->replaceQuestions.size();
        ConvertAndWait();
        QCOMPARE(m_ui->replaceQuestions.size(), asks);
        QCOMPARE(m_ui->questions.size(), 2);
    }

    // Save As answers for the file it chose only: typed again later, the question comes back.
    if (savedAs)
    {
        Output()->setText(
            Scratch(QStringLiteral("drawing.svg")).replace(QStringLiteral(".svg"), QStringLiteral(".dxf")));
        WriteAll(Output()->text(), "more work");
        ConvertAndWait();
        QCOMPARE(m_ui->replaceQuestions.size(), 1);
        QCOMPARE(ReadAll(Output()->text()), QByteArray("more work"));
    }
}

void GuiTest::rememberedFolders_data()
{
    QTest::addColumn<QString>("field"); // in the path field; "<sub>" stands for a real folder
    QTest::addColumn<QString>("last");  // the last folder used, as stored
    QTest::addColumn<QString>("expected");
    QTest::newRow("folder of the field") << "<sub>/a.svg"
                                         << "<scratch>"
                                         << "<sub>";
    QTest::newRow("field names a missing folder") << "/no/such/folder/a.svg"
                                                  << "<sub>"
                                                  << "<sub>";
    QTest::newRow("empty field, last folder") << ""
                                              << "<sub>"
                                              << "<sub>";
    QTest::newRow("nothing known") << ""
                                   << ""
                                   << "";
    QTest::newRow("last folder gone") << ""
                                      << "/no/such/folder"
                                      << "";
}

void GuiTest::rememberedFolders()
{
    QFETCH(QString, field);
    QFETCH(QString, last);
    QFETCH(QString, expected);
    const QString sub = Scratch(QStringLiteral("sub"));
    QDir().mkpath(sub);
    const auto place = [&](QString text) {
        return text.replace(QStringLiteral("<sub>"), sub)
            .replace(QStringLiteral("<scratch>"), m_scratch.path());
    };
    if (!last.isEmpty())
    {
        QSettings profile(kProfileKey, QStringLiteral("Orbelin"));
        profile.setValue(QStringLiteral("Orbelin/LastFolder"), place(last));
    }
    m_dialog = MakeDialog();
    Input()->setText(place(field));
    Output()->setText(place(field).replace(QStringLiteral(".svg"), QStringLiteral(".dxf")));
    Click("browseInput");
    QCOMPARE(m_ui->openFolder, place(expected));
    Click("browseOutput");
    QCOMPARE(m_ui->saveFolder, place(expected));

    // A file chosen is where the next dialog starts when the field does not say otherwise.
    m_ui->openAnswer = Scratch(QStringLiteral("drawing.svg"));
    Click("browseInput");
    Input()->clear();
    Output()->clear();
    m_ui->openAnswer.clear();
    Click("browseOutput");
    QCOMPARE(m_ui->saveFolder, m_scratch.path());
}

void GuiTest::lastPathsComeBack()
{
    m_dialog = MakeDialog();
    QVERIFY(Input()->text().isEmpty());
    m_ui->answer = false;
    Input()->setText(Scratch(QStringLiteral("drawing.svg")));
    Output()->setText(Scratch(QStringLiteral("again.dxf")));
    QFile::remove(Output()->text());
    ConvertAndWait();
    m_dialog.reset();
    m_dialog = MakeDialog();
    QCOMPARE(Input()->text(), Scratch(QStringLiteral("drawing.svg")));
    QCOMPARE(Output()->text(), Scratch(QStringLiteral("again.dxf")));
}

void GuiTest::typedInputProposesOutput_data()
{
    QTest::addColumn<QString>("outputBefore"); // "" or a path the person put there
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty output follows") << ""
                                          << "/a/b.svg"
                                          << "/a/b.dxf";
    QTest::newRow("no extension") << ""
                                  << "/a.x/drawing"
                                  << "/a.x/drawing.dxf";
    QTest::newRow("own output stays") << "/mine/keep.dxf"
                                      << "/a/b.svg"
                                      << "/mine/keep.dxf";
}

void GuiTest::typedInputProposesOutput()
{
    QFETCH(QString, outputBefore);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    m_dialog = MakeDialog();
    Output()->setText(outputBefore);
    Input()->setFocus();
    QTest::keyClicks(Input(), typed);
    QCOMPARE(Output()->text(), expected);

    // Pasted over the whole field, the proposal follows the new text.
    if (outputBefore.isEmpty())
    {
        QApplication::clipboard()->setText(QStringLiteral("/p/q.svg"));
        Input()->selectAll();
        QTest::keySequence(Input(), QKeySequence::Paste);
        QCOMPARE(Input()->text(), QStringLiteral("/p/q.svg"));
        QCOMPARE(Output()->text(), QStringLiteral("/p/q.dxf"));
    }
}

void GuiTest::dropOneFile()
{
    m_dialog = MakeDialog();
    const QString svg = Scratch(QStringLiteral("drawing.svg"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(svg)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dialog.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dialog.get(), &drop);
    QCOMPARE(Input()->text(), svg);
    QCOMPARE(Output()->text(), Scratch(QStringLiteral("drawing.dxf")));
    QVERIFY(!m_dialog->IsConverting());

    // Text that is not a local file is not taken.
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(m_dialog.get(), &refused);
    QVERIFY(!refused.isAccepted());
}

void GuiTest::severalFilesConvertInTurn_data()
{
    QTest::addColumn<bool>("dropped"); // else chosen in the input dialog
    QTest::newRow("dropped") << true;
    QTest::newRow("chosen") << false;
}

void GuiTest::severalFilesConvertInTurn()
{
    QFETCH(bool, dropped);
    const QString folder = Scratch(dropped ? QStringLiteral("dropped") : QStringLiteral("chosen"));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const QString first = QDir(folder).filePath(QStringLiteral("first.svg"));
    const QString second = QDir(folder).filePath(QStringLiteral("second.svg"));
    const QString missing = QDir(folder).filePath(QStringLiteral("missing.svg"));
    WriteAll(first, kDrawing);
    WriteAll(second, "<svg height=\"10\"><line x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\"/></svg>");
    m_dialog = MakeDialog();
    QSignalSpy finished(m_dialog.get(), &COrbelinDlg::ConversionFinished);
    const QStringList files{first, missing, second};
    if (dropped)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(missing), QUrl::fromLocalFile(second)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_dialog.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_dialog.get(), &drop);
    }
    else
    {
        m_ui->openAnswers = files;
        Click("browseInput");
    }
    QVERIFY(m_dialog->IsConverting());
    QVERIFY(finished.wait(60000));

    // One list instead of a question per file; each output beside its input.
    QVERIFY(m_ui->questions.isEmpty());
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(m_ui->batches.size(), 1);
    const QList<CBatchRow> rows = m_ui->batches.front();
    QCOMPARE(rows.size(), 3);
    const QString firstDxf = QDir(folder).filePath(QStringLiteral("first.dxf"));
    const QString secondDxf = QDir(folder).filePath(QStringLiteral("second.dxf"));
    QCOMPARE(rows[0].input, first);
    QCOMPARE(rows[0].output, firstDxf);
    QVERIFY(rows[0].converted);
    QCOMPARE(rows[0].entities, EntityCount(ReadAll(firstDxf)));
    QVERIFY(rows[0].entities > 5);
    QVERIFY(rows[0].seconds >= 0.0);
    QVERIFY(!rows[1].converted);
    // The system's reason follows the message, as on the command line.
    QCOMPARE(rows[1].reason,
             QStringLiteral("Failed to read file(%1): No such file or directory").arg(missing));
    QVERIFY(rows[2].converted);
    QCOMPARE(rows[2].entities, qulonglong{1});
    QCOMPARE(rows[2].output, secondDxf);
    QVERIFY(Bar()->isHidden());

    // The same window replaces what it wrote itself without asking.
    m_dialog->OpenFiles(files);
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->batches.size(), 2, 60000);
    QVERIFY(m_ui->replaceQuestions.isEmpty());
    QVERIFY(m_ui->batches[1][2].converted);

    // At the next start the files there are other work: one question for both, and No keeps them.
    m_dialog.reset();
    m_dialog = MakeDialog();
    WriteAll(firstDxf, "kept");
    m_ui->replaceAnswer = false;
    m_dialog->OpenFiles(files);
    QTRY_COMPARE_WITH_TIMEOUT(m_ui->batches.size(), 1, 60000);
    QCOMPARE(m_ui->replaceQuestions.size(), 1);
    QVERIFY(m_ui->replaceQuestions.front().contains(QStringLiteral("first.dxf")));
    QVERIFY(m_ui->replaceQuestions.front().contains(QStringLiteral("second.dxf")));
    QCOMPARE(ReadAll(firstDxf), QByteArray("kept"));
    QVERIFY(!m_ui->batches[0][0].converted);
    QVERIFY(!m_ui->batches[0][0].reason.isEmpty());
    QVERIFY(!m_ui->batches[0][2].converted);
}

void GuiTest::helpFallsBackToHtml_data()
{
    QTest::addColumn<bool>("compiled");     // the compiled help is beside the program
    QTest::addColumn<bool>("html");         // the HTML pages are beside it
    QTest::addColumn<QStringList>("opens"); // suffixes the desktop can open
    QTest::addColumn<QString>("expected");  // "chm", "html" or "" for a message
    QTest::newRow("compiled help shown") << true << true << QStringList{"chm", "html"} << "chm";
    QTest::newRow("no viewer for it: browser") << true << true << QStringList{"html"} << "html";
    QTest::newRow("no compiled help: browser") << false << true << QStringList{"html"} << "html";
    QTest::newRow("nothing can show it") << true << true << QStringList{"pdf"} << "";
    QTest::newRow("no help at all") << false << false << QStringList{"chm", "html"} << "";
}

void GuiTest::helpFallsBackToHtml()
{
    QFETCH(bool, compiled);
    QFETCH(bool, html);
    QFETCH(QStringList, opens);
    QFETCH(QString, expected);
    const QDir program(QCoreApplication::applicationDirPath());
    const QString chm = program.filePath(QStringLiteral("Orbelin.chm"));
    const QString index = program.filePath(QStringLiteral("help/index.html"));
    QFile::remove(chm);
    QFile::remove(index);
    if (compiled)
        WriteAll(chm, "ITSF");
    if (html)
    {
        program.mkpath(QStringLiteral("help"));
        WriteAll(index, "<html></html>");
    }
    QCOMPARE(COrbelinDlg::HtmlHelpPath(), html ? index : QString());
    m_dialog = MakeDialog();
    m_ui->canOpen = opens;
    m_dialog->findChild<CCoolBtn*>(QStringLiteral("menuButton"))->Menu()->actions().at(0)->trigger();
    QFile::remove(chm);
    QFile::remove(index);
    if (expected.isEmpty())
    {
        QVERIFY(m_ui->openedDocuments.isEmpty());
        QCOMPARE(m_ui->messages.size(), 1);
        QVERIFY(m_ui->messages.front().startsWith(QStringLiteral("The help cannot be shown")));
    }
    else
    {
        QCOMPARE(m_ui->openedDocuments, QStringList{expected == "chm" ? chm : index});
        QVERIFY(m_ui->messages.isEmpty());
    }
}

void GuiTest::finishedQuestionOpensDrawing_data()
{
    QTest::addColumn<bool>("desktopOpensDxf");
    QTest::newRow("opened") << true;
    QTest::newRow("no application") << false;
}

void GuiTest::finishedQuestionOpensDrawing()
{
    QFETCH(bool, desktopOpensDxf);
    const QString output = Scratch(QStringLiteral("opened.dxf"));
    QFile::remove(output);
    m_dialog = MakeDialog();
    m_ui->openDrawing = true;
    m_ui->canOpen =
        desktopOpensDxf ? QStringList{QStringLiteral("dxf")} : QStringList{QStringLiteral("html")};
    Input()->setText(Scratch(QStringLiteral("drawing.svg")));
    Output()->setText(output);
    ConvertAndWait();
    QCOMPARE(m_ui->questions.size(), 1);
    QCOMPARE(m_ui->triedDocuments, QStringList{output});
    QVERIFY(m_ui->openedFolders.isEmpty());
    QCOMPARE(m_ui->messages.size(), desktopOpensDxf ? 0 : 1);
}

void GuiTest::aboutNamesLicenceAndLibraries()
{
    CAboutDlg about;
    const QString text = about.findChild<QLabel*>(QStringLiteral("aboutText"))->text();
    QVERIFY(text.contains(QStringLiteral("Licence: GNU General Public License")));
    QVERIFY2(text.contains(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())), qPrintable(text));
    QVERIFY2(QRegularExpression(QStringLiteral("dxflib \\d+\\.\\d+")).match(text).hasMatch(),
             qPrintable(text));
}

void GuiTest::batchResultTexts()
{
    CBatchRow converted;
    converted.input = QStringLiteral("/a/b.svg");
    converted.output = QStringLiteral("/a/b.dxf");
    converted.converted = true;
    converted.entities = 12;
    converted.seconds = 1.234;
    QCOMPARE(
        CBatchResultDlg::CellTexts(converted),
        (QStringList{"b.svg", QLocale().toString(12),
                     QStringLiteral("%1 s").arg(QLocale().toString(1.23, 'f', 2)), "Converted to b.dxf"}));
    CBatchRow failed;
    failed.input = QStringLiteral("/a/c.svg");
    failed.reason = QStringLiteral("Failed to read file(/a/c.svg)");
    QCOMPARE(CBatchResultDlg::CellTexts(failed),
             (QStringList{"c.svg", "", "", "Failed to read file(/a/c.svg)"}));
}

QTEST_MAIN(GuiTest)
#include "gui_test.moc"
