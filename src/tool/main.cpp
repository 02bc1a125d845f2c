// merivo-tool: the companion command over Merivo's contact database.

#include "contacts/DataFolder.h"
#include "merivo_config.h"
#include "tool/MerivoTool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("merivo-tool"));

    QFile output;
    QFile errors;
    if (!output.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered)
        || !errors.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return MerivoTool::Failure;

    // Without a data folder there is no default database: --database must name one.
    const QString dataDirectory = DataFolder::locate(QStringLiteral(MERIVO_DATA_DIR));
    MerivoTool tool(output, errors,
                    dataDirectory.isEmpty() ? QString() : QDir(dataDirectory).filePath(QStringLiteral("db2.mdb")));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return tool.run(arguments);
}
