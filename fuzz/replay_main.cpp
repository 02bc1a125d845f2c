// Runs the fuzz target without libFuzzer, with any compiler: over every file
// of the seed corpus, then over inputs made from them by random changes
// (bytes flipped, cut, repeated, and pieces of criteria put in). A quick
// check in every run of the test suite; long runs use the libFuzzer build.
//
//   fuzz_find_replay <corpus folder> [number of made inputs] [seed]   (and so fuzz_cff_replay)

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

const QByteArray Pieces[] = {
    "'", "''", "=", "= '", " ", "[", "]", "name", "Name", "NAME", "Office address", "phone number", "\\", "%",
    "_", QByteArray("\0", 1), "\t", "\xc3\xa9", "E\xcc\x81", "\xc3\x9f", "\xf0\x9f\x98\x80", "\xe2\x80\xae",
    "\xef\xbb\xbf", "\xed\xa0\x80", "\xff", "O'Brien", " OR 1=1 --",
};

QByteArray changed(QByteArray input, std::mt19937_64 &random)
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
            input.insert(at, Pieces[below(std::size(Pieces))]);
            break;
        case 2:
            input.remove(at, below(8));
            break;
        case 3:
            input.insert(at, input.mid(below(input.size()), below(16)));
            break;
        case 4:
            if (!input.isEmpty())
                input[0] = char(random() % 4); // the flags byte
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
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder> [number of made inputs] [seed]\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const long made = argc > 2 ? std::atol(argv[2]) : 5000;
    const unsigned long seed = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1;
    LLVMFuzzerInitialize(&argc, &argv);

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
        QByteArray input = changed(pool[random() % pool.size()], random);
        run(input);
        if (pool.size() < 2000)
            pool.push_back(input);
        else
            pool[random() % pool.size()] = input;
    }
    std::printf("%s: %zu corpus inputs and %ld made ones in %.1f s, all held\n",
                QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toLocal8Bit().constData(), fromCorpus, made,
                double(elapsed.elapsed()) / 1000);
    return 0;
}
