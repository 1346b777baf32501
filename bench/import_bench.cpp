// Import of three devices' scanner files at 1 s (16 channels each, 48
// channels in three projects), a day and a week by default. For each length
// the files are written once, then two child processes read them, so that
// each has its own peak memory (VmHWM):
//   reference  a plain reader of the same files: one pass over each file in
//              large blocks, fields cut by hand, times and values parsed
//              with std::from_chars, one grid time after the other; no Qt;
//   product    TransferRules::importFiles onto the grid with a sink that
//              drops the rows (the read alone), then the whole import as the
//              dialog's worker runs it: rows streamed into one transaction;
//              with --offline also the offline download's save of the same
//              files.
//
//   import_bench [--offline] [seconds …]      (default 86400 604800)
#include "TransferRules.h"
#include "TransferSample.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kDevices = 3;
constexpr int kChannels = 16;
const char* const kStart = "2024-05-06 00:00:00";

long vmHwmKb()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0)
            kb = std::strtol(line + 6, nullptr, 10);
    }
    std::fclose(f);
    return kb;
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The files TransferSample::writeScannerFile writes (same header, records,
// times 300 ms after the second and values), formatted without Qt: a week
// through QDateTime::toString would take longer than the import.
bool writeFile(const std::string& path, int device, int seconds)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    std::fputs("Record,Time", f);
    for (int c = 0; c < kChannels; ++c)
        std::fprintf(f, ",Ch %d (C)", 101 + c);
    std::fputs(",Alarm Flags,Digital I/O\n", f);
    QDate day = QDate::fromString(QString::fromLatin1(kStart).left(10), QStringLiteral("yyyy-MM-dd"));
    char date[16] = {};
    for (int s = 0; s < seconds; ++s) {
        const int inDay = s % 86400;
        if (s == 0 || inDay == 0) {
            if (s > 0)
                day = day.addDays(1);
            std::snprintf(date, sizeof date, "%04d-%02d-%02d", day.year(), day.month(), day.day());
        }
        std::fprintf(f, "%d,%s %02d:%02d:%02d.300", s + 1, date, inDay / 3600, inDay / 60 % 60, inDay % 60);
        for (int c = 0; c < kChannels; ++c)
            std::fprintf(f, ",%.3f", 10 * (device + 1) + c + (s % 100) * 0.001);
        std::fputs(",0,0\n", f);
    }
    return std::fclose(f) == 0;
}

// --- the reference reader ----------------------------------------------------

// Lines of a file read in 1 MB blocks.
class LineReader
{
public:
    explicit LineReader(const std::string& path) : m_file(std::fopen(path.c_str(), "rb")), m_buffer(1 << 20) {}
    ~LineReader()
    {
        if (m_file)
            std::fclose(m_file);
    }
    bool ok() const { return m_file != nullptr; }
    bool next(const char*& begin, const char*& end)
    {
        for (;;) {
            const char* nl = static_cast<const char*>(std::memchr(m_buffer.data() + m_pos, '\n', m_fill - m_pos));
            if (nl) {
                begin = m_buffer.data() + m_pos;
                end = nl;
                m_pos = nl - m_buffer.data() + 1;
                return true;
            }
            if (m_eof)
                return false;
            std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_fill - m_pos);
            m_fill -= m_pos;
            m_pos = 0;
            if (m_fill == m_buffer.size())
                m_buffer.resize(m_buffer.size() * 2);
            const size_t got = std::fread(m_buffer.data() + m_fill, 1, m_buffer.size() - m_fill, m_file);
            m_fill += got;
            m_eof = got == 0;
        }
    }

private:
    FILE* m_file;
    std::vector<char> m_buffer;
    size_t m_pos = 0, m_fill = 0;
    bool m_eof = false;
};

int digits(const char* p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (p[i] - '0');
    return v;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - int(era * 400);
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// "yyyy-mm-dd hh:mm:ss.zzz" as ms on a clock without time zones.
bool parseMs(const char* p, const char* end, long long& ms)
{
    if (end - p != 23 || p[4] != '-' || p[10] != ' ' || p[19] != '.')
        return false;
    const long long days = daysFromCivil(digits(p, 4), digits(p + 5, 2), digits(p + 8, 2));
    ms = ((days * 24 + digits(p + 11, 2)) * 60 + digits(p + 14, 2)) * 60000LL + digits(p + 17, 2) * 1000LL
         + digits(p + 20, 3);
    return true;
}

struct RefResult
{
    long long records = 0;
    double checksum = 0;
    bool ok = true;
};

// Each grid time takes the next record of every file, checks its time is
// within a second and parses its channel values.
RefResult referenceRead(const std::vector<std::string>& paths, int seconds)
{
    RefResult result;
    std::vector<LineReader*> readers;
    for (const std::string& p : paths)
        readers.push_back(new LineReader(p));
    const char *b, *e;
    for (LineReader* r : readers)
        result.ok = result.ok && r->ok() && r->next(b, e); // header
    long long start = 0;
    parseMs("2024-05-06 00:00:00.000", "2024-05-06 00:00:00.000" + 23, start);
    std::vector<double> row(kDevices * kChannels);
    for (int s = 0; s < seconds && result.ok; ++s) {
        const long long grid = start + s * 1000LL;
        for (size_t d = 0; d < readers.size() && result.ok; ++d) {
            if (!readers[d]->next(b, e)) {
                result.ok = false;
                break;
            }
            const char* p = static_cast<const char*>(std::memchr(b, ',', e - b)); // after the record number
            const char* q = p ? static_cast<const char*>(std::memchr(p + 1, ',', e - p - 1)) : nullptr;
            long long t = 0;
            if (!q || !parseMs(p + 1, q, t) || std::llabs(t - grid) > 1000) {
                result.ok = false;
                break;
            }
            p = q + 1;
            for (int c = 0; c < kChannels; ++c) {
                double v = 0;
                const auto parsed = std::from_chars(p, e, v);
                if (parsed.ec != std::errc() || parsed.ptr >= e || *parsed.ptr != ',') {
                    result.ok = false;
                    break;
                }
                row[d * kChannels + c] = v;
                p = parsed.ptr + 1;
            }
            ++result.records;
        }
        result.checksum += row[0] + row[row.size() - 1];
    }
    for (LineReader* r : readers)
        delete r;
    return result;
}

// --- the product ---------------------------------------------------------------

struct Product
{
    SystemContext context;
    TransferRules::ImportJob job;
    QList<Tool::Struct_Parameters> records;
};

void prepare(Product& p, const std::vector<std::string>& paths, int seconds)
{
    const QDateTime start = QDateTime::fromString(QString::fromLatin1(kStart), "yyyy-MM-dd hh:mm:ss");
    TransferSample::fill(p.context, kDevices, kChannels, {"P1", "P2", "P3"}, 1.0, start, start.addSecs(seconds));
    QStringList files;
    for (const std::string& path : paths)
        files << QString::fromStdString(path);
    p.job = {p.context.AcquisitionDevice, p.context.ChannelConfig, p.context.ChannelList, p.context.ProjectName,
             files, start, start.addSecs(seconds), 1.0};
    for (const QString& name : p.context.ProjectName) {
        Tool::Struct_Parameters record;
        record.Name = name;
        p.records << record;
    }
}

int runReference(const std::vector<std::string>& paths, int seconds)
{
    const double t0 = now();
    const RefResult r = referenceRead(paths, seconds);
    const double t = now() - t0;
    std::printf("  reference reader   %8.2f s  %9.0f records/s  VmHWM %6.1f MB%s\n", t, r.records / t,
                vmHwmKb() / 1024.0, r.ok ? "" : "  FAILED");
    std::fflush(stdout);
    return r.ok ? 0 : 1;
}

int runProduct(int argc, char** argv, const std::string& dir, const std::vector<std::string>& paths, int seconds,
               bool offline)
{
    QCoreApplication app(argc, argv);
    QDir::setCurrent(QString::fromStdString(dir));
    QFile::remove(QStringLiteral("ARQ-310MX.db3"));
    if (!Tool::openDefaultDatabase())
        return 1;
    Product p;
    prepare(p, paths, seconds);
    const qint64 records = qint64(seconds) * kDevices;

    // The read onto the grid alone: the rows are made and dropped batch by batch.
    qint64 rows = 0;
    double t0 = now();
    TransferRules::Outcome read = TransferRules::importFiles(p.job, {}, nullptr, [&rows](const auto& batch) {
        rows += batch.size();
        return true;
    });
    const double readTime = now() - t0;
    std::printf("  product, read      %8.2f s  %9.0f records/s  VmHWM %6.1f MB%s\n", readTime, records / readTime,
                vmHwmKb() / 1024.0, read.ok() ? "" : "  FAILED");
    std::fflush(stdout);

    // The import: read and stored in one transaction, as the worker does it.
    int progressCalls = 0;
    t0 = now();
    TransferRules::Outcome outcome;
    const Tool::StoreOutcome stored = Tool::addProjects(
        p.records,
        [&](const Tool::RowBatchInserter& insert) {
            outcome = TransferRules::importFiles(p.job, [&progressCalls](qint64, qint64) { ++progressCalls; },
                                                 nullptr, insert);
            return outcome.ok();
        },
        QString());
    const double importTime = now() - t0;
    bool ok = read.ok() && outcome.ok() && stored == Tool::StoreOutcome::Stored;
    std::printf("  product, import    %8.2f s  %9.0f records/s  VmHWM %6.1f MB  (%lld rows, %d progress reports)%s\n",
                importTime, records / importTime, vmHwmKb() / 1024.0, static_cast<long long>(rows), progressCalls,
                ok ? "" : "  FAILED");
    std::fflush(stdout);
    // The database after the import: three projects of 16 channels (the
    // offline save below adds as many again).
    std::printf("  database file      %8.1f MB  (%lld rows of 16 values)\n",
                QFileInfo(QStringLiteral("ARQ-310MX.db3")).size() / 1048576.0, static_cast<long long>(rows));
    std::fflush(stdout);

    // The offline save of the same files as the download leaves them, under other project names.
    if (offline) {
        TransferRules::WorkingFilesJob working{p.job.paths, p.job.chosen, {"O1", "O2", "O3"}, p.job.start, p.job.end,
                                               1.0};
        QList<Tool::Struct_Parameters> named = p.records;
        for (int i = 0; i < named.size(); ++i)
            named[i].Name = working.projectNames.at(i);
        t0 = now();
        const Tool::StoreOutcome saved = Tool::addProjects(
            named,
            [&](const Tool::RowBatchInserter& insert) {
                outcome = TransferRules::readWorkingFiles(working, {}, nullptr, insert);
                return outcome.ok();
            },
            QString());
        const double saveTime = now() - t0;
        ok = ok && outcome.ok() && saved == Tool::StoreOutcome::Stored;
        std::printf("  product, offline   %8.2f s  %9.0f records/s  VmHWM %6.1f MB%s\n", saveTime, records / saveTime,
                    vmHwmKb() / 1024.0, outcome.ok() && saved == Tool::StoreOutcome::Stored ? "" : "  FAILED");
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}

template <typename F>
int inChild(F f)
{
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0)
        std::_Exit(f());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> lengths;
    bool offline = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--offline") == 0)
            offline = true;
        else
            lengths.push_back(std::max(10, std::atoi(argv[i])));
    }
    if (lengths.empty())
        lengths = {86400, 604800};
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    int failures = 0;
    for (const int seconds : lengths) {
        std::vector<std::string> paths;
        for (int d = 0; d < kDevices; ++d) {
            paths.push_back(base + "/d" + std::to_string(d) + ".csv");
            if (!writeFile(paths.back(), d, seconds))
                return 2;
        }
        std::printf("import %d s x %d devices x %d channels (%d records per file):\n", seconds, kDevices, kChannels,
                    seconds);
        failures += inChild([&] { return runReference(paths, seconds); });
        failures += inChild([&] { return runProduct(argc, argv, base, paths, seconds, offline); });
    }
    return failures == 0 ? 0 : 1;
}
