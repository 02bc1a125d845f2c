// Runs a fuzz target without libFuzzer, with any compiler: over every file
// of its seed corpus, then over inputs made from them by random changes
// (bytes flipped, cut, repeated, and pieces of its dictionary put in). A
// quick check in every run of the test suite; long runs use the libFuzzer
// build.
//
//   <target>_replay <corpus folder> <dictionary> [number of made inputs] [seed]

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

// The values of a libFuzzer dictionary: lines name="value" (the name may
// be left out) with \\, \" and \xNN escapes; # begins a comment.
std::vector<QByteArray> readDictionary(const QString &path)
{
    std::vector<QByteArray> pieces;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return pieces;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        const qsizetype open = line.indexOf('"');
        if (line.startsWith('#') || open < 0 || !line.endsWith('"') || line.size() - open < 2)
            continue;
        const QByteArray quoted = line.mid(open + 1, line.size() - open - 2);
        QByteArray piece;
        for (qsizetype i = 0; i < quoted.size(); ++i) {
            if (quoted[i] != '\\' || i + 1 == quoted.size()) {
                piece += quoted[i];
            } else if (quoted[i + 1] == 'x' && i + 3 < quoted.size()) {
                piece += char(quoted.mid(i + 2, 2).toInt(nullptr, 16));
                i += 3;
            } else {
                piece += quoted[++i];
            }
        }
        pieces.push_back(piece);
    }
    return pieces;
}

QByteArray changed(QByteArray input, const std::vector<QByteArray> &pieces, std::mt19937_64 &random)
{
    const auto below = [&random](qsizetype n) { return n <= 0 ? 0 : qsizetype(random() % quint64(n)); };
    const int changes = 1 + int(random() % 4);
    for (int i = 0; i < changes; ++i) {
        const qsizetype at = below(input.size() + 1);
        switch (random() % 6) {
        case 0:
            if (!input.isEmpty())
                input[below(input.size())] ^= char(1 << (random() % 8));
            break;
        case 1:
            if (!pieces.empty())
                input.insert(at, pieces[below(qsizetype(pieces.size()))]);
            break;
        case 2:
            input.remove(at, below(8));
            break;
        case 3:
            input.insert(at, input.mid(below(input.size()), below(16)));
            break;
        case 4:
            if (!input.isEmpty())
                input[0] = char(random() % 4); // a small first byte: the flags of some targets
            break;
        default:
            input.insert(at, char(random() % 256));
            break;
        }
    }
    return input.left(4096);
}

int run(const QByteArray &input)
{
    return LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <corpus folder> <dictionary> [number of made inputs] [seed]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const std::vector<QByteArray> pieces = readDictionary(QString::fromLocal8Bit(argv[2]));
    const long made = argc > 3 ? std::atol(argv[3]) : 5000;
    const unsigned long seed = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 1;
    const QString target = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    LLVMFuzzerInitialize(&argc, &argv);
    if (pieces.empty()) {
        std::fprintf(stderr, "no pieces in the dictionary %s\n", argv[2]);
        return 2;
    }

    QElapsedTimer elapsed;
    elapsed.start();
    std::vector<QByteArray> pool;
    const QDir corpus(folder);
    for (const QString &name : corpus.entryList(QDir::Files, QDir::Name)) {
        QFile file(corpus.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            pool.push_back(file.readAll());
    }
    if (pool.empty()) {
        std::fprintf(stderr, "no inputs in %s\n", argv[1]);
        return 2;
    }
    for (const QByteArray &input : pool)
        run(input);
    const size_t fromCorpus = pool.size();

    std::mt19937_64 random(seed);
    for (long i = 0; i < made; ++i) {
        QByteArray input = changed(pool[random() % pool.size()], pieces, random);
        run(input);
        if (pool.size() < 2000)
            pool.push_back(input);
        else
            pool[random() % pool.size()] = input;
    }
    std::printf("%s: %zu corpus inputs and %ld made ones in %.1f s, all held\n", qPrintable(target), fromCorpus, made,
                double(elapsed.elapsed()) / 1000);
    return 0;
}
