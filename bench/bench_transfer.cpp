// Speed and memory of merivo-tool's import and export, next to Debian's
// abook converting the same vCards in the same run.
//
//   merivo_transfer_bench          100,000 vCards, 5 rounds of each
//   merivo_transfer_bench --quick  10,000 vCards, 1 round
//
// Every figure is one whole command, as a user runs it, timed from start to
// exit; its peak memory is the child's maximum resident set (wait4). The
// import goes into an empty database each round and is durable (the store's
// synchronous=FULL). A summary with the targets follows Google Benchmark's
// own table:
//   import  <= 5 x abook's conversion     export <= 3 x abook's conversion
//   memory  < 100 MB for either

#include "BenchCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

struct Figures
{
    std::vector<double> seconds;
    long peakKb = 0;
};

std::map<std::string, Figures> g_figures;
bool g_failed = false;

// Cards with all eight fields, in the shape address books commonly write.
bool writeCards(const QString &path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        const QByteArray name = i % 10 == 0 ? "Émile Zoë " + n : "Contact " + n;
        block += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name + "\r\nN:" + n + ";Contact;;;\r\n"
                 "ADR;TYPE=HOME:;;" + n + " Main Street;Springfield;;;\r\nTEL;TYPE=HOME:+1 555 " + n + "\r\n"
                 "TITLE:Engineer\r\nADR;TYPE=WORK:;;" + n + " Office Park;;;;\r\nTEL;TYPE=WORK:+1 555 9" + n + "\r\n"
                 "EMAIL;TYPE=INTERNET:contact" + n + "@example.org\r\nURL:https://example.org/" + n + "\r\nEND:VCARD\r\n";
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
    return file.error() == QFileDevice::NoError;
}

void registerCommand(const std::string &name, int rounds, const std::function<QStringList(int)> &command)
{
    benchmark::RegisterBenchmark(name.c_str(),
                                 [name, command](benchmark::State &state) {
                                     int round = 0;
                                     for (auto _ : state) {
                                         const Outcome outcome = runCommand(command(round++));
                                         if (!outcome.ok && !g_failed) {
                                             std::fprintf(stderr, "FAILED: %s\n", name.c_str());
                                             g_failed = true;
                                         }
                                         state.SetIterationTime(outcome.seconds);
                                         Figures &figures = g_figures[name];
                                         figures.seconds.push_back(outcome.seconds);
                                         figures.peakKb = std::max(figures.peakKb, outcome.peakKb);
                                         state.counters["peak_MB"] = double(figures.peakKb) / 1024.0;
                                     }
                                 })
        ->Iterations(rounds)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char **argv)
{
    bool quick = false;
    std::vector<char *> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--quick")
            quick = true;
        else
            arguments.push_back(argv[i]);
    }
    int count = int(arguments.size());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&count, arguments.data());

    const int cards = quick ? 10000 : 100000;
    const int rounds = quick ? 1 : 5;
    QTemporaryDir dir;
    const QString vcf = dir.filePath(QStringLiteral("cards.vcf"));
    if (!writeCards(vcf, cards)) {
        std::fprintf(stderr, "FAILED: could not write %s\n", qPrintable(vcf));
        return 1;
    }
    const QString tool = QStringLiteral(MERIVO_TOOL);
    const QString exported = dir.filePath(QStringLiteral("full.mdb"));
    if (!runCommand({tool, QStringLiteral("--database"), exported, QStringLiteral("import"), vcf}).ok) {
        std::fprintf(stderr, "FAILED: could not import %s\n", qPrintable(vcf));
        return 1;
    }

    const QString abook = QStandardPaths::findExecutable(QStringLiteral("abook"));
    if (!abook.isEmpty()) {
        registerCommand("abook_vcard_to_abook", rounds, [=, &dir](int round) {
            // abook will not overwrite its output file.
            return QStringList{abook, QStringLiteral("--convert"), QStringLiteral("--informat"), QStringLiteral("vcard"),
                               QStringLiteral("--infile"), vcf, QStringLiteral("--outformat"), QStringLiteral("abook"),
                               QStringLiteral("--outfile"), dir.filePath(QStringLiteral("out%1.abook").arg(round))};
        });
    }
    registerCommand("merivo_import_vcard", rounds, [=, &dir](int round) {
        return QStringList{tool, QStringLiteral("--database"), dir.filePath(QStringLiteral("import%1.mdb").arg(round)),
                           QStringLiteral("import"), vcf};
    });
    registerCommand("merivo_export_vcard", rounds, [=, &dir](int round) {
        return QStringList{tool, QStringLiteral("--database"), exported, QStringLiteral("export"), QStringLiteral("--format"),
                           QStringLiteral("vcard"), dir.filePath(QStringLiteral("export%1.vcf").arg(round))};
    });
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double abookMs = median(g_figures["abook_vcard_to_abook"].seconds) * 1000;
    std::printf("\nmerivo-tool and abook on the same %d vCards (%.1f MB), median of %d\n", cards,
                double(QFileInfo(vcf).size()) / (1 << 20), rounds);
    std::printf("%-34s %10s %10s   %s\n", "command", "time", "peak", "target");
    const auto line = [&](const char *name, const char *label, double factor) {
        const Figures &figures = g_figures[name];
        const double ms = median(figures.seconds) * 1000;
        const double mb = double(figures.peakKb) / 1024.0;
        std::string verdict = "-";
        if (factor > 0 && abookMs > 0) {
            const bool met = ms <= factor * abookMs && mb < 100;
            verdict = (met ? "met: " : "MISSED: ") + std::to_string(ms / abookMs).substr(0, 4) + " x abook (<= "
                + std::to_string(int(factor)) + " x), < 100 MB";
        }
        std::printf("%-34s %7.0f ms %7.1f MB   %s\n", label, ms, mb, verdict.c_str());
    };
    if (abookMs > 0)
        line("abook_vcard_to_abook", "abook --convert vcard -> abook", 0);
    else
        std::printf("abook is not installed: no baseline\n");
    line("merivo_import_vcard", "merivo-tool import (empty db)", 5);
    line("merivo_export_vcard", "merivo-tool export --format vcard", 3);
    return g_failed ? 1 : 0;
}
