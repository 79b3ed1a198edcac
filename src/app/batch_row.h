// What became of one of several files converted one after another: the row the result list shows.
#pragma once

#include <QString>

// One line of the list shown after several files were converted.
struct CBatchRow
{
    QString input;
    QString output;
    bool converted = false;
    qulonglong entities = 0;
    double seconds = 0.0;
    QString reason; // why the file was not converted; empty when it was
};
