#include "app/ui_services.h"

#include "app/about_dlg.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

QString CDesktopUiServices::GetOpenFileName(QWidget* parent, const QString& filter,
                                            const QString& initialName)
{
    // A bare name in the folder argument lands in the dialog's file name box.
    return QFileDialog::getOpenFileName(parent, QString(), initialName, filter);
}

QString CDesktopUiServices::GetSaveFileName(QWidget* parent, const QString& filter,
                                            const QString& initialName)
{
    return QFileDialog::getSaveFileName(parent, QString(), initialName, filter);
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

void CDesktopUiServices::OpenFolder(const QString& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void CDesktopUiServices::OpenDocument(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void CDesktopUiServices::ShowAbout(QWidget* parent)
{
    CAboutDlg about(parent);
    about.exec();
}
