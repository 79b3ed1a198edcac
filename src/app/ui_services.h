// Everything the window asks of the person or the desktop, behind one interface, so that the commands
// can run in a test without anybody there to answer.
#pragma once

#include <QString>

class QWidget;

class CUiServices
{
  public:
    virtual ~CUiServices() = default;

    // The chosen file, or an empty text when the person cancels. The filter uses Qt's ";;" form.
    virtual QString GetOpenFileName(QWidget* parent, const QString& filter, const QString& initialName) = 0;
    virtual QString GetSaveFileName(QWidget* parent, const QString& filter, const QString& initialName) = 0;
    // A modal box with an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A modal Yes/No question; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Opens the folder in the desktop's file browser; the outcome is not reported.
    virtual void OpenFolder(const QString& folder) = 0;
    // Opens a document with the desktop's viewer for its type; the outcome is not reported.
    virtual void OpenDocument(const QString& path) = 0;
    // Runs the About box modally.
    virtual void ShowAbout(QWidget* parent) = 0;
};

// The real dialogs and the desktop.
class CDesktopUiServices : public CUiServices
{
  public:
    QString GetOpenFileName(QWidget* parent, const QString& filter, const QString& initialName) override;
    QString GetSaveFileName(QWidget* parent, const QString& filter, const QString& initialName) override;
    void ShowMessage(QWidget* parent, const QString& caption, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    void OpenFolder(const QString& folder) override;
    void OpenDocument(const QString& path) override;
    void ShowAbout(QWidget* parent) override;
};
