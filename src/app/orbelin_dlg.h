// The main window: two paths, the fill option, a progress bar and the commands around one conversion.
// It only gathers what the conversion needs and shows what the conversion reports.
#pragma once

#include "app/ui_services.h"

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

class CBanner;
class CCoolBtn;
class CTextProgressCtrl;
class QCheckBox;
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
    // Saves the fill option.
    ~COrbelinDlg() override;

    int FillOption() const { return m_fillOption; }
    // Moves the value into the progress bar: shown while below 100, hidden at 100.
    void ShowProgress(int percent);
    // The help file next to the executable.
    static QString HelpFilePath();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

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
    void OnMenuCommand(int command);
    void OnHelpCommand();
    void OnAboutCommand();

    void CreateControls();
    void Place(QWidget* widget, int x, int y, int width, int height, int anchors);
    void LayoutControls();
    QSize DesignSize() const;
    void UpdateData();

    std::unique_ptr<CUiServices> m_services;
    std::string m_inputPath;
    std::string m_outputPath;
    int m_fillOption = 1;

    std::vector<CPlacement> m_placements;
    double m_unitX = 1.5; // pixels per horizontal dialog unit
    double m_unitY = 1.5; // pixels per vertical dialog unit

    CBanner* m_banner = nullptr;
    QLineEdit* m_input = nullptr;
    QPushButton* m_browseInput = nullptr;
    QLineEdit* m_output = nullptr;
    QPushButton* m_browseOutput = nullptr;
    QCheckBox* m_fill = nullptr;
    CTextProgressCtrl* m_progress = nullptr;
    CCoolBtn* m_menuButton = nullptr;
    QPushButton* m_convert = nullptr;
    QPushButton* m_cancel = nullptr;
};
