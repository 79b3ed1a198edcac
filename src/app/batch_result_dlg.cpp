#include "app/batch_result_dlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTableWidget>
#include <QVBoxLayout>

CBatchResultDlg::CBatchResultDlg(const QList<CBatchRow>& rows, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Orbelin"));
    int converted = 0;
    for (const CBatchRow& row : rows)
        converted += row.converted ? 1 : 0;
    auto* summary = new QLabel(tr("%1 of %2 files converted.").arg(converted).arg(rows.size()), this);

    m_table = new QTableWidget(static_cast<int>(rows.size()), 4, this);
    m_table->setObjectName(QStringLiteral("results"));
    m_table->setHorizontalHeaderLabels({tr("File"), tr("Entities"), tr("Time"), tr("Result")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    for (int r = 0; r < rows.size(); ++r)
    {
        const QStringList cells = CellTexts(rows[r]);
        for (int c = 0; c < cells.size(); ++c)
        {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 0)
                item->setToolTip(rows[r].input);
            if (c == 1 || c == 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(r, c, item);
        }
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* column = new QVBoxLayout(this);
    column->addWidget(summary);
    column->addWidget(m_table, 1);
    column->addWidget(buttons);
    resize(640, 320);
}

QStringList CBatchResultDlg::CellTexts(const CBatchRow& row)
{
    const QString name = QFileInfo(row.input).fileName();
    if (!row.converted)
        return {name, QString(), QString(), row.reason};
    const QLocale locale;
    return {name, locale.toString(row.entities), tr("%1 s").arg(locale.toString(row.seconds, 'f', 2)),
            tr("Converted to %1").arg(QFileInfo(row.output).fileName())};
}
