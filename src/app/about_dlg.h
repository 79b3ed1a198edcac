// The About box: the program's name, version and purpose.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog
{
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
