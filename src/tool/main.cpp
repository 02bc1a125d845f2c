// merivo-tool: the companion command over Merivo's contact database.

#include "contacts/DataFolder.h"
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

    // Without a data folder there is no default database: --database must name one.
    const QString dataDirectory = DataFolder::locate(QStringLiteral(MERIVO_DATA_DIR));
    const QString database = dataDirectory.isEmpty() ? QString() : QDir(dataDirectory).filePath(QStringLiteral("db2.mdb"));
    MerivoTool tool(output, errors, database);
    SyncTool sync(output, errors, database);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    // --help and --version are the same whatever the command.
    const bool help = arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h"));
    if (!help && !arguments.contains(QLatin1String("--version")) && SyncTool::handles(arguments))
        return sync.run(arguments);
    tool.addToHelp(SyncTool::commandsHelp(), SyncTool::optionsHelp());
    return tool.run(arguments);
}
