// merivo-tool: the companion command over Merivo's contact database.

#include "merivo_config.h"
#include "sync/SyncTool.h"
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

    const QString database = QDir(QStringLiteral(MERIVO_DATA_DIR)).filePath(QStringLiteral("db2.mdb"));
    MerivoTool tool(output, errors, database);
    SyncTool sync(output, errors, database);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (SyncTool::handles(arguments))
        return sync.run(arguments);
    const int status = tool.run(arguments);
    if (arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h")))
        output.write(sync.helpText().toUtf8());
    return status;
}
