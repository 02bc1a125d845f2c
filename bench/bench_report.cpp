// Speed and memory of the contact report.
//
//   merivo_report_bench           1,000 contacts to the screen; 10,000 and
//                                 100,000 contacts from the definition file
//                                 to a PDF file, in one run
//   merivo_report_bench --quick   the same over 200 and 1,000 contacts, to
//                                 keep the benchmark working in CI
//
// "On screen" runs the report control's action as the menu does (definition,
// rows, layout, window) and paints the window once. "To PDF" makes the
// report and writes every page. Peak memory is the resident high-water mark
// of the largest PDF run alone (reset before it through /proc/self/clear_refs).
// A summary with the targets and the ratio of the two PDF runs follows
// Google Benchmark's own table.

#include "contacts/ContactRecord.h"
#include "printing/ReportControl.h"
#include "printing/ReportWindow.h"
#include "report/Report.h"
#include "report/ReportDefinition.h"
#include "report/ReportDocument.h"
#include "report/ReportEngine.h"
#include "report/ReportPdf.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Printer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Config
{
    int screenContacts = 1000;
    int smallPdfContacts = 10000;
    int largePdfContacts = 100000;
    int screenRounds = 5;
    int pdfRounds = 1;
};

std::map<std::string, std::vector<double>> g_seconds;
std::map<std::string, double> g_peakMb;
bool g_failed = false;

void check(bool ok, const char *what, const QString &error = QString())
{
    if (!ok && !g_failed) {
        std::fprintf(stderr, "FAILED: %s %s\n", what, qPrintable(error));
        g_failed = true;
    }
}

double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

// The resident high-water mark, from a reset onwards.
void resetPeakMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double peakMemoryMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

// Nobody answers: the benchmark expects no message box and counts one as a failure.
class NoDialogs final : public Dialogs
{
public:
    int messageBox(const QString &prompt, int, const std::optional<QString> &) override
    {
        check(false, "message box", prompt);
        return MsgBox::Ok;
    }
    QString inputBox(const QString &, const QString &) override { return QString(); }
};

class NoPrinter final : public Printer
{
public:
    PrintResult print(const PrintDocument &) override { return {false, QStringLiteral("no printer")}; }
};

// Contacts of plausible length, one in eight with letters beyond ASCII.
void writeContacts(const QString &path, int count)
{
    static const char *const given[] = {"Anna", "Bob", "Chloé", "Dmitri", "Émile", "Fatima", "Günter", "Hana",
                                        "Ivan", "Józef", "Kofi", "Lena", "Marta", "Noah", "Olga", "Pablo"};
    static const char *const family[] = {"Byrne", "Durand", "Weiß", "Tanaka", "Orlov", "Quist", "Novák", "Silva",
                                         "Ng", "Papadopoulos", "Kowalski", "Haddad", "Berg", "Rossi", "Moreau"};
    std::mt19937 random(42);
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    QStringList columns;
    for (const QString &name : contactFieldNames())
        columns.append(QStringLiteral("\"%1\" TEXT NOT NULL DEFAULT ''").arg(name));
    sqlite3_exec(db, QStringLiteral("CREATE TABLE Table1 (%1)").arg(columns.join(u',')).toUtf8().constData(), nullptr,
                 nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Table1 VALUES (?,?,?,?,?,?,?,?)", -1, &insert, nullptr);
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("%1 %2 %3")
                                 .arg(QString::fromUtf8(given[random() % std::size(given)]),
                                      QString::fromUtf8(family[random() % std::size(family)]))
                                 .arg(i);
        const QStringList values = {
            name,
            QStringLiteral("%1 Harbour Street, Flat %2, Northfield %3").arg(random() % 300).arg(i % 40).arg(40000 + i % 999),
            QStringLiteral("+1 555 %1").arg(random() % 10000, 4, 10, QLatin1Char('0')),
            QStringLiteral("Head of Purchasing"),
            QStringLiteral("Orvant Inc., %1 Market Square, Southfield %2").arg(random() % 90).arg(50000 + i % 777),
            QStringLiteral("+1 555 0100 ext %1").arg(i % 100),
            QStringLiteral("contact%1@example.com").arg(i),
            QStringLiteral("www.example.com/people/%1").arg(i),
        };
        for (int field = 0; field < ContactFieldCount; ++field)
            sqlite3_bind_text16(insert, field + 1, values[field].utf16(), int(values[field].size() * 2),
                                SQLITE_TRANSIENT);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// A folder with db2.mdb of `count` contacts and the default definition.
QString makeData(const QTemporaryDir &root, int count)
{
    const QString folder = QDir(root.path()).filePath(QString::number(count));
    QDir().mkpath(folder);
    writeContacts(QDir(folder).filePath(QStringLiteral("db2.mdb")), count);
    const QString definition = QDir(folder).filePath(ReportDefinitionFile::FileName);
    check(ReportDefinitionFile::writeDefaultIfMissing(definition) == ReportDefinitionFile::Outcome::Created,
          "definition");
    return definition;
}

void reportOnScreen(benchmark::State &state, const QString &definition, int contacts)
{
    NoDialogs dialogs;
    NoPrinter printer;
    const std::string figure = "on screen " + std::to_string(contacts);
    for (auto _ : state) {
        ReportControl control(dialogs, printer);
        const auto start = Clock::now();
        control.assign(ReportControl::ReportFile, definition);
        control.assign(ReportControl::FreshData, true);
        control.assign(ReportControl::Action, QVariant::fromValue<qint16>(1));
        ReportWindow *window = control.windows().value(0);
        check(window && window->document().report().rows->rowCount() == contacts, "report window");
        if (window)
            window->repaint(); // painted now, not when the event loop gets to it
        const std::chrono::duration<double> took = Clock::now() - start;
        state.SetIterationTime(took.count());
        g_seconds[figure].push_back(took.count());
    }
}

void reportToPdf(benchmark::State &state, const QString &definition, int contacts, bool measureMemory)
{
    const std::string figure = "to PDF " + std::to_string(contacts);
    const QString pdf = QFileInfo(definition).absolutePath() + QStringLiteral("/report.pdf");
    for (auto _ : state) {
        if (measureMemory)
            resetPeakMemory();
        const auto start = Clock::now();
        ReportEngine engine;
        const ReportEngine::Produced produced = engine.produce(definition, true);
        check(produced.report && produced.report->rows->rowCount() == contacts, "produce", produced.error);
        const auto laidOut = Clock::now();
        if (produced.report) {
            const ReportDocument document(produced.report);
            check(ReportPdf::canWriteDirectly(document), "written directly");
            const PrintResult written = ReportPdf::write(document, pdf);
            check(bool(written), "PDF", written.error);
            state.counters["pages"] = produced.report->pageCount();
        }
        const auto end = Clock::now();
        const std::chrono::duration<double> took = end - start;
        state.SetIterationTime(took.count());
        g_seconds[figure].push_back(took.count());
        g_seconds[figure + " (definition, rows, layout)"].push_back(
            std::chrono::duration<double>(laidOut - start).count());
        if (measureMemory)
            g_peakMb[figure] = std::max(g_peakMb[figure], peakMemoryMb());
    }
    state.counters["PDF MB"] = double(QFileInfo(pdf).size()) / (1024.0 * 1024.0);
}

void printSummary(const Config &config)
{
    const auto seconds = [](const std::string &figure) { return median(g_seconds[figure]); };
    const std::string screen = "on screen " + std::to_string(config.screenContacts);
    const std::string small = "to PDF " + std::to_string(config.smallPdfContacts);
    const std::string large = "to PDF " + std::to_string(config.largePdfContacts);
    const double ratio = seconds(small) > 0 ? seconds(large) / seconds(small) : 0;

    std::printf("\nReport summary (median seconds)\n");
    std::printf("  %-48s %8.3f s   target < 0.5 s\n", screen.c_str(), seconds(screen));
    std::printf("  %-48s %8.3f s\n", (small + " (definition, rows, layout)").c_str(),
                seconds(small + " (definition, rows, layout)"));
    std::printf("  %-48s %8.3f s\n", small.c_str(), seconds(small));
    std::printf("  %-48s %8.3f s\n", (large + " (definition, rows, layout)").c_str(),
                seconds(large + " (definition, rows, layout)"));
    std::printf("  %-48s %8.3f s   target < 10 s\n", large.c_str(), seconds(large));
    std::printf("  %-48s %8.1f MB  target < 300 MB\n", ("peak memory, " + large).c_str(), g_peakMb[large]);
    std::printf("  %-48s %8.2f     %d times the contacts\n", "time ratio, larger / smaller PDF", ratio,
                config.largePdfContacts / config.smallPdfContacts);
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<char *> arguments;
    Config config;
    for (int i = 0; i < argc; ++i) {
        if (std::string(argv[i]) == "--quick") {
            config = {200, 200, 1000, 2, 1};
            continue;
        }
        arguments.push_back(argv[i]);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    int benchmarkArgc = int(arguments.size());
    benchmark::Initialize(&benchmarkArgc, arguments.data());

    const QTemporaryDir root;
    std::map<int, QString> definitions;
    for (int contacts : {config.screenContacts, config.smallPdfContacts, config.largePdfContacts}) {
        if (!definitions.count(contacts))
            definitions[contacts] = makeData(root, contacts);
    }

    benchmark::RegisterBenchmark(("report_on_screen/" + std::to_string(config.screenContacts)).c_str(),
                                 [&](benchmark::State &state) {
                                     reportOnScreen(state, definitions[config.screenContacts], config.screenContacts);
                                 })
        ->Iterations(config.screenRounds)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    for (int contacts : {config.smallPdfContacts, config.largePdfContacts}) {
        const bool largest = contacts == config.largePdfContacts;
        benchmark::RegisterBenchmark(("report_to_pdf/" + std::to_string(contacts)).c_str(),
                                     [&, contacts, largest](benchmark::State &state) {
                                         reportToPdf(state, definitions[contacts], contacts, largest);
                                     })
            ->Iterations(config.pdfRounds)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    printSummary(config);
    return g_failed ? 1 : 0;
}
