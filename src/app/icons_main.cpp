// Renders the application icon into a hicolor icon theme tree for installation:
//   orbelin-icons FOLDER   writes FOLDER/SIZExSIZE/apps/orbelin.png for each usual size.
#include "app/artwork.h"

#include <QDir>
#include <QString>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: orbelin-icons FOLDER\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    {
        const QString folder = root.filePath(QStringLiteral("%1x%1/apps").arg(size));
        if (!QDir().mkpath(folder) ||
            !OrbelinIconImage(size).save(QDir(folder).filePath(QStringLiteral("orbelin.png")), "PNG"))
        {
            std::fprintf(stderr, "orbelin-icons: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
