#pragma once

#include <QtGlobal>

// Told how far a long piece of work on a report has come (reading rows,
// laying them out, writing pages), and asked whether to go on. The engine
// calls it often; it decides itself how often to show anything.
class ReportProgress
{
public:
    virtual ~ReportProgress() = default;

    enum class Stage { Reading, Sorting, LayingOut, Writing };

    // `done` of `total` steps of the stage; false when the user cancelled,
    // and the work stops, leaving nothing behind.
    virtual bool advance(Stage stage, qint64 done, qint64 total) = 0;
};

// Goes on without showing anything.
class NoProgress final : public ReportProgress
{
public:
    bool advance(Stage, qint64, qint64) override { return true; }
};
