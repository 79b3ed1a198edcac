// The main window's commands, driven through its widgets; the file dialogs, message boxes and the
// desktop are replaced by scripted answers so nobody has to sit in front of the window.
#include "app/cool_btn.h"
#include "app/orbelin_dlg.h"
#include "app/text_progress_ctrl.h"
#include "app/ui_services.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <clocale>
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
    QString GetOpenFileName(QWidget*, const QString& filter, const QString& initialName) override
    {
        openFilter = filter;
        openName = initialName;
        return openAnswer;
    }
    QString GetSaveFileName(QWidget*, const QString& filter, const QString& initialName) override
    {
        saveFilter = filter;
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
        questionCaptions << caption;
        questions << text;
        return answer;
    }
    void OpenFolder(const QString& folder) override { openedFolders << folder; }
    void OpenDocument(const QString& path) override { openedDocuments << path; }
    void ShowAbout(QWidget*) override { ++abouts; }

    QString openAnswer, saveAnswer;
    QString openFilter, openName, saveFilter, saveName;
    QStringList captions, messages;
    QStringList questionCaptions, questions;
    bool answer = true;
    QStringList openedFolders, openedDocuments;
    int abouts = 0;
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

  private:
    std::unique_ptr<COrbelinDlg> MakeDialog();
    QLineEdit* Input() const { return m_dialog->findChild<QLineEdit*>(QStringLiteral("inputPath")); }
    QLineEdit* Output() const { return m_dialog->findChild<QLineEdit*>(QStringLiteral("outputPath")); }
    CTextProgressCtrl* Bar() const
    {
        return m_dialog->findChild<CTextProgressCtrl*>(QStringLiteral("progress"));
    }
    void Click(const char* name) const { m_dialog->findChild<QPushButton*>(QLatin1String(name))->click(); }
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
    Click("convert");
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
    Click("convert");
    QCOMPARE(m_ui->messages, QStringList{QStringLiteral("Failed to write file(%1)").arg(output)});
    QCOMPARE(m_ui->captions, QStringList{QStringLiteral("Orbelin")});
    QVERIFY(m_ui->questions.isEmpty());
    QVERIFY(Bar()->isVisible());
    QCOMPARE(Bar()->GetPos(), 15);

    // The window stays usable, and the next good conversion hides the bar again.
    Output()->setText(Scratch(QStringLiteral("after-failure.dxf")));
    m_ui->answer = false;
    Click("convert");
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
    Click("convert");

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
    Click("convert");
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
    Click("convert");
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
    Click("convert");
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

    WriteAll(help, "ITSF");
    entries[0]->trigger();
    QFile::remove(help);
    QCOMPARE(m_ui->openedDocuments, QStringList{help});
    QVERIFY(m_ui->messages.isEmpty());
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
    QTimer::singleShot(0, button, [&] {
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

QTEST_MAIN(GuiTest)
#include "gui_test.moc"
