#include "app/about_dlg.h"

#include "app/artwork.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#ifndef ORBELIN_VERSION
#define ORBELIN_VERSION "1.0"
#endif

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About Orbelin"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* icon = new QLabel(this);
    icon->setPixmap(OrbelinIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    auto* text = new QLabel(this);
    text->setText(QStringLiteral("<b>Orbelin, Version %1</b><br><br>"
                                 "Converts an SVG drawing into an AutoCAD DXF drawing (release 2000).")
                      .arg(QStringLiteral(ORBELIN_VERSION)));
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
