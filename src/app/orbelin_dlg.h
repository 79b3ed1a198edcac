// The main window: two paths, the fill option, a progress bar and the commands around one conversion.
// It only gathers what the conversion needs and shows what the conversion reports.
#pragma once

#include "app/ui_services.h"
#include "conversion/conversion.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CBanner;
class CConversionRun;
class CCoolBtn;
class CTextProgressCtrl;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class COrbelinDlg : public QDialog
{
    Q_OBJECT

  public:
    // Command numbers of the menu button's entries.
    static constexpr int kHelpCommand = 32771;
    static constexpr int kAboutCommand = 32772;

    // Without services the real dialogs and the desktop are used.
    explicit COrbelinDlg(std::unique_ptr<CUiServices> services = nullptr, QWidget* parent = nullptr);
    // Saves the fill option and the output choices.
    ~COrbelinDlg() override;

    int FillOption() const { return m_fillOption; }
    // 1 when drawings are read by the exact SVG rules; saved beside the fill option.
    int ExactSvg() const { return m_exactSvg; }
    // The unit chosen in the "Output" group.
    OutputUnits Units() const { return m_units; }
    CurveOutput Curves() const { return m_curves; }
    TextOutput Text() const { return m_text; }
    // Moves the value into the progress bar: shown while below 100, hidden at 100.
    void ShowProgress(int percent);
    // The help file next to the executable.
    static QString HelpFilePath();
    // The help pages as HTML: beside the program in the build, under share/doc once installed.
    // Empty when neither is there.
    static QString HtmlHelpPath();

    // Files handed to the window (dropped, or named on the command line): one fills the input and
    // proposes the output; several are converted one after another, each beside itself.
    void OpenFiles(const QStringList& paths);
    // True while a conversion runs; the inputs are disabled meanwhile, Cancel stays live.
    bool IsConverting() const { return m_run != nullptr; }
    // Stops the running conversion; the window stays open.
    void CancelConversion();
    // Called on the converting thread with each progress value, before the bar is moved, for the
    // tests and the screenshots. Applies to the runs started after it is set.
    void SetProgressHook(std::function<void(int percent)> hook) { m_progressHook = std::move(hook); }

    // Escape and Cancel stop a running conversion instead of closing the window.
    void reject() override;

  signals:
    // A run (one file or several) has ended and everything it had to say has been said.
    void ConversionFinished();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    struct CPlacement
    {
        QWidget* widget;
        int x, y, width, height; // dialog units
        int anchors;
    };

    void OnConvert();
    void OnBrowseInput();
    void OnBrowseOutput();
    void OnFillOption();
    void OnExactSvg();
    void OnMenuCommand(int command);
    void OnHelpCommand();
    void OnAboutCommand();

    void ConvertBatch(const QStringList& inputs);
    void StartRun(std::vector<ConversionRequest> jobs, bool batch);
    void OnRunProgress(int job, int percent);
    void OnJobDone(int job, const ConversionResult& result, double seconds);
    void OnRunFinished();
    void SetInputsEnabled(bool enabled);
    void OnInputEdited(const QString& text);
    void ProposeOutput(const QString& input);
    void RememberFolder(const QString& path);
    QString StartFolder(const QString& fieldText) const;
    bool MayReplace(const QString& path) const;
    void ShowFinishedQuestion(const ConversionResult& result);

    void CreateControls();
    QWidget* CreateOutputGroup();
    // A request for one file with every option the window holds.
    ConversionRequest MakeRequest(const std::string& input, const std::string& output) const;
    void Place(QWidget* widget, int x, int y, int width, int height, int anchors);
    void LayoutControls();
    QSize DesignSize() const;
    void UpdateData();

    std::unique_ptr<CUiServices> m_services;
    std::string m_inputPath;
    std::string m_outputPath;
    int m_fillOption = 1;
    int m_exactSvg = 0;
    OutputUnits m_units = OutputUnits::None;
    CurveOutput m_curves = CurveOutput::Flatten;
    TextOutput m_text = TextOutput::Entities;
    // Outputs that may be replaced without a question: those the Save As dialog returned in this run
    // (it has asked already) and those this window wrote in this run. Absolute paths.
    QStringList m_mayReplace;
    // The output last proposed from the input: replaced as the input is typed, unlike a path the
    // person typed or chose.
    QString m_proposedOutput;

    CConversionRun* m_run = nullptr;
    bool m_batch = false;
    bool m_closeAfterRun = false;
    QList<CBatchRow> m_batchRows;
    ConversionResult m_singleResult;
    std::function<void(int)> m_progressHook;

    std::vector<CPlacement> m_placements;
    double m_unitX = 1.5; // pixels per horizontal dialog unit
    double m_unitY = 1.5; // pixels per vertical dialog unit

    CBanner* m_banner = nullptr;
    QLineEdit* m_input = nullptr;
    QPushButton* m_browseInput = nullptr;
    QLineEdit* m_output = nullptr;
    QPushButton* m_browseOutput = nullptr;
    QCheckBox* m_fill = nullptr;
    QCheckBox* m_exact = nullptr;
    // The "Output" group: how the drawing is written beyond the fill option.
    QWidget* m_outputGroup = nullptr;
    QComboBox* m_unitsChoice = nullptr;
    QComboBox* m_curvesChoice = nullptr;
    QComboBox* m_textChoice = nullptr;
    CTextProgressCtrl* m_progress = nullptr;
    CCoolBtn* m_menuButton = nullptr;
    QPushButton* m_convert = nullptr;
    QPushButton* m_cancel = nullptr;
};
