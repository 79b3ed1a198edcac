#include "app/ui_services.h"

#include "app/about_dlg.h"
#include "app/batch_result_dlg.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace
{

// The folder and the pre-filled name as one start path: the dialog opens the folder and puts the
// name in its name box.
QString StartPath(const QString& folder, const QString& initialName)
{
    return folder.isEmpty() ? initialName : QDir(folder).filePath(initialName);
}

// Whether the desktop names an application for the file's type. Opening a file through xdg-open
// reports success as soon as xdg-open starts, even when nothing can show the file.
bool HasApplicationFor(const QString& path)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (tool.isEmpty())
        return QFileInfo::exists(QStringLiteral("/usr/bin/xdg-open"));
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.start(tool, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(5000))
        return true;
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
#else
    Q_UNUSED(path);
    return true;
#endif
}

} // namespace

QStringList CDesktopUiServices::GetOpenFileNames(QWidget* parent, const QString& filter,
                                                 const QString& folder, const QString& initialName)
{
    return QFileDialog::getOpenFileNames(parent, QString(), StartPath(folder, initialName), filter);
}

QString CDesktopUiServices::GetSaveFileName(QWidget* parent, const QString& filter, const QString& folder,
                                            const QString& initialName)
{
    return QFileDialog::getSaveFileName(parent, QString(), StartPath(folder, initialName), filter);
}

void CDesktopUiServices::ShowMessage(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool CDesktopUiServices::AskYesNo(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool CDesktopUiServices::AskReplace(QWidget* parent, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

CUiServices::FinishedAnswer CDesktopUiServices::AskFinished(QWidget* parent, const QString& caption,
                                                            const QString& text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    QPushButton* drawing = box.addButton(QObject::tr("Open &Drawing"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    box.exec();
    if (box.clickedButton() == drawing)
        return FinishedAnswer::OpenDrawing;
    return box.clickedButton() == box.button(QMessageBox::Yes) ? FinishedAnswer::OpenFolder
                                                               : FinishedAnswer::Nothing;
}

void CDesktopUiServices::OpenFolder(const QString& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool CDesktopUiServices::OpenDocument(const QString& path)
{
    return HasApplicationFor(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void CDesktopUiServices::ShowAbout(QWidget* parent)
{
    CAboutDlg about(parent);
    about.exec();
}

void CDesktopUiServices::ShowBatchResults(QWidget* parent, const QList<CBatchRow>& rows)
{
    CBatchResultDlg results(rows, parent);
    results.exec();
}
