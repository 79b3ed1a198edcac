// The list shown after several files were converted one after another: for each file, what it
// became or why it did not.
#pragma once

#include "app/batch_row.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QTableWidget;

class CBatchResultDlg : public QDialog
{
    Q_OBJECT

  public:
    explicit CBatchResultDlg(const QList<CBatchRow>& rows, QWidget* parent = nullptr);

    // The text of each cell, row by row: file, entities, time, result.
    static QStringList CellTexts(const CBatchRow& row);

  private:
    QTableWidget* m_table = nullptr;
};
