// merivo-tool: the companion command over Merivo's contact database.

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

    MerivoTool tool(output, errors, QDir(QStringLiteral(MERIVO_DATA_DIR)).filePath(QStringLiteral("db2.mdb")));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return tool.run(arguments);
}
