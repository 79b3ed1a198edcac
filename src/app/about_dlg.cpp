#include "app/about_dlg.h"

#include "app/artwork.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QtGlobal>

#ifndef ORBELIN_VERSION
#define ORBELIN_VERSION "1.0"
#endif
#ifndef ORBELIN_DXFLIB_VERSION
#define ORBELIN_DXFLIB_VERSION "unknown"
#endif

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About Orbelin"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* icon = new QLabel(this);
    icon->setPixmap(OrbelinIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("aboutText"));
    // Qt's version is the one the program runs with; dxflib's library reports none, so its version is
    // the one the build found.
    text->setText(tr("<b>Orbelin, Version %1</b><br><br>"
                     "Converts an SVG drawing into an AutoCAD DXF drawing (release 2000).<br><br>"
                     "Licence: GNU General Public License, version 2 or later.<br>"
                     "Uses Qt %2 (LGPL 3) and dxflib %3 (GPL 2 or later).")
                      .arg(QStringLiteral(ORBELIN_VERSION), QString::fromLatin1(qVersion()),
                           QStringLiteral(ORBELIN_DXFLIB_VERSION)));
    text->setWordWrap(true);
    text->setMinimumWidth(260);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(text, 1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(row);
    column->addWidget(buttons);
    setFixedSize(sizeHint());
}
