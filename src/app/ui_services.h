// Everything the window asks of the person or the desktop, behind one interface, so that the commands
// can run in a test without anybody there to answer.
#pragma once

#include "app/batch_row.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

class CUiServices
{
  public:
    // What the person wants after a conversion.
    enum class FinishedAnswer
    {
        Nothing,
        OpenFolder,
        OpenDrawing
    };

    virtual ~CUiServices() = default;

    // The chosen files (several only where the dialog allows it), or none when the person cancels.
    // The dialog starts in folder (none: the working folder) with initialName in its name box; the
    // filter uses Qt's ";;" form.
    virtual QStringList GetOpenFileNames(QWidget* parent, const QString& filter, const QString& folder,
                                         const QString& initialName) = 0;
    // The chosen file or an empty text. The dialog itself asks before an existing file is replaced.
    virtual QString GetSaveFileName(QWidget* parent, const QString& filter, const QString& folder,
                                    const QString& initialName) = 0;
    // A modal box with an OK button.
    virtual void ShowMessage(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A modal Yes/No question; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A modal Yes/No question whose default is No; true for Yes.
    virtual bool AskReplace(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The question after a conversion: Yes opens the folder, a third answer the drawing itself.
    virtual FinishedAnswer AskFinished(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Opens the folder in the desktop's file browser; the outcome is not reported.
    virtual void OpenFolder(const QString& folder) = 0;
    // Opens a document with the desktop's application for its type; false when there is none or it
    // cannot be started.
    virtual bool OpenDocument(const QString& path) = 0;
    // Runs the About box modally.
    virtual void ShowAbout(QWidget* parent) = 0;
    // Shows, modally, what became of each of several files.
    virtual void ShowBatchResults(QWidget* parent, const QList<CBatchRow>& rows) = 0;
};

// The real dialogs and the desktop.
class CDesktopUiServices : public CUiServices
{
  public:
    QStringList GetOpenFileNames(QWidget* parent, const QString& filter, const QString& folder,
                                 const QString& initialName) override;
    QString GetSaveFileName(QWidget* parent, const QString& filter, const QString& folder,
                            const QString& initialName) override;
    void ShowMessage(QWidget* parent, const QString& caption, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    bool AskReplace(QWidget* parent, const QString& caption, const QString& text) override;
    FinishedAnswer AskFinished(QWidget* parent, const QString& caption, const QString& text) override;
    void OpenFolder(const QString& folder) override;
    bool OpenDocument(const QString& path) override;
    void ShowAbout(QWidget* parent) override;
    void ShowBatchResults(QWidget* parent, const QList<CBatchRow>& rows) override;
};
