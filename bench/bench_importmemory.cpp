// SPDX-License-Identifier: GPL-3.0-or-later
// Peak memory of bringing in a county coverage listing as large as the
// importer takes (64 MB), in each of NOAA's three shapes: the figure must
// stay below 300 MB, so that a wrong or hostile file cannot take the memory
// of the machine. Each import runs in a process of its own (fork), whose
// peak resident size is the figure; the file is made by another process
// first, so that making it counts for nothing.
#include "coverage/core/CoverageImport.h"
#include "coverage/core/CoverageListing.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char *const kPostal[] = {"AL", "AK", "AZ", "AR", "CA", "CO", "CT", "DE", "FL", "GA", "HI", "ID", "IL", "IN",
                               "IA", "KS", "KY", "LA", "ME", "MD", "MA", "MI", "MN", "MS", "MO", "MT", "NE", "NV",
                               "NH", "NJ", "NM", "NY", "NC", "ND", "OH", "OK", "OR", "PA", "RI", "SC", "SD", "TN",
                               "TX", "UT", "VT", "VA", "WA", "WV", "WI", "WY", "GU", "MP", "PR", "VI"};
const char *const kNumber[] = {"01", "02", "04", "05", "06", "08", "09", "10", "12", "13", "15", "16", "17", "18",
                               "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "30", "31", "32",
                               "33", "34", "35", "36", "37", "38", "39", "40", "41", "42", "44", "45", "46", "47",
                               "48", "49", "50", "51", "53", "54", "55", "56", "66", "69", "72", "78"};

// The fifteen values of row i: counties of every state, each under many
// transmitters, most rows new lines of a state's file.
QList<QByteArray> rowValues(qint64 i)
{
    const int s = int(i % 54);
    const int county = int((i / 54) % 900) + 1;
    const int tx = int((i / 48600) % 90);
    const QByteArray code = "0" + QByteArray(kNumber[s]) + QByteArray::number(county).rightJustified(3, '0');
    const QByteArray call = "WX" + QByteArray(1, char('A' + tx % 26)) + QByteArray::number(10 + tx).rightJustified(2, '0');
    return {kPostal[s], "State", "County " + QByteArray::number(county), code, "Site " + QByteArray::number(tx),
            "Site " + QByteArray::number(tx), kPostal[s], "162.550", call, "", "", "1000", "NORMAL", "Office|XX", ""};
}

const char *const kNames[] = {"ST", "STATE", "COUNTY", "SAME", "SITENAME", "SITELOC", "SITESTATE", "FREQ",
                              "CALLSIGN", "LAT", "LON", "PWR", "STATUS", "WFO", "REMARKS"};

// The tiny run (NX_BENCH_TINY=1, which only shows that every row of the
// table fills) makes every file 64 times smaller.
const qint64 kShrink = qEnvironmentVariableIntValue("NX_BENCH_TINY") == 1 ? 64 : 1;

// Writes rows until the file is just under the importer's limit.
qint64 writeListing(const QString &path, const char *shape)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    const qint64 limit = (CoverageListing::MaxBytes - 4096) / kShrink;
    const QByteArray kind(shape);
    QByteArray chunk;
    qint64 written = 0;
    qint64 rows = 0;
    if (kind == "CCL.js") {
        for (const char *n : kNames)
            chunk += QByteArray("var ") + n + " = new Array();\n";
    } else if (kind == "ccl-data.js") {
        chunk += "var cclData = [\n";
    } else {
        chunk += "ST,STATE,COUNTY,SAME,SITENAME,SITELOC,SITESTATE,FREQ,CALLSIGN,LAT,LON,PWR,STATUS,WFO,REMARKS\n";
    }
    for (;; ++rows) {
        const QList<QByteArray> v = rowValues(rows);
        QByteArray row;
        if (kind == "CCL.js") {
            // Index beyond the importer's limit is no row of a listing.
            if (rows > CoverageListing::MaxIndex)
                break;
            for (int k = 0; k < 15; ++k)
                row += QByteArray(kNames[k]) + '[' + QByteArray::number(rows) + "] = \"" + v.at(k) + "\";\n";
        } else if (kind == "ccl-data.js") {
            // One transmitter holding every county: the worst case for a
            // reader that keeps a transmitter whole.
            if (rows == 0)
                row += "{callsign: \"WXA10\", sitename: \"Site\", freq: \"162.550\", status: \"NORMAL\", counties: [\n";
            row += "{\"county\": \"" + v.at(2) + "\", \"same\": \"" + v.at(3) + "\", \"st\": \"" + v.at(0)
                   + "\", \"state\": \"State\", \"remarks\": \"\"},\n";
        } else {
            for (int k = 0; k < 15; ++k)
                row += (k ? "," : "") + v.at(k);
            row += '\n';
        }
        if (written + chunk.size() + row.size() > limit - 16)
            break;
        chunk += row;
        if (chunk.size() > (1 << 20)) {
            written += f.write(chunk);
            chunk.clear();
        }
    }
    if (kind == "ccl-data.js")
        chunk += "]}];\n";
    written += f.write(chunk);
    return f.error() == QFile::NoError ? rows : -1;
}

// Files of no use as listings, shaped to make a reader hold much for each
// byte: one endless row, endless blank lines, an array on one line, a
// million different texts, a quote that never closes. Each is just under
// the importer's limit when it is meant to be.
qint64 writeHostile(const QString &path, const char *shape)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    const QByteArray kind(shape);
    const QByteArray csvHeader = "ST,STATE,COUNTY,SAME,SITENAME,SITELOC,SITESTATE,FREQ,CALLSIGN,LAT,LON,PWR,STATUS,WFO,REMARKS\n";
    auto fill = [&](char c, qint64 n) {
        const QByteArray block(1 << 20, c);
        for (qint64 left = n; left > 0; left -= block.size())
            f.write(block.constData(), std::min<qint64>(left, block.size()));
    };
    qint64 rows = 0;
    if (kind == "commas") {
        f.write(csvHeader);
        fill(',', (60LL << 20) / kShrink);
        rows = 1;
    } else if (kind == "blank-js") {
        f.write("var cclData = [\n");
        fill('\n', (62LL << 20) / kShrink);
        f.write("];\n");
    } else if (kind == "blank-csv") {
        f.write(csvHeader);
        fill('\n', (63LL << 20) / kShrink);
    } else if (kind == "minified") {
        QByteArray chunk;
        for (const char *n : kNames)
            chunk += QByteArray("var ") + n + " = new Array();";
        for (;; ++rows) {
            const QList<QByteArray> v = rowValues(rows);
            QByteArray row;
            for (int k = 0; k < 15; ++k)
                row += QByteArray(kNames[k]) + '[' + QByteArray::number(rows) + "]=\"" + v.at(k) + "\";";
            if (rows > CoverageListing::MaxIndex || f.size() + chunk.size() + row.size() > (CoverageListing::MaxBytes - 4096) / kShrink)
                break;
            chunk += row;
            if (chunk.size() > (1 << 20)) {
                f.write(chunk);
                chunk.clear();
            }
        }
        f.write(chunk);
    } else if (kind == "remarks") {
        QByteArray chunk;
        for (const char *n : kNames)
            chunk += QByteArray("var ") + n + " = new Array();\n";
        for (rows = 0; rows < 1000000 / kShrink; ++rows) {
            chunk += "REMARKS[" + QByteArray::number(rows) + "] = \"remark " + QByteArray::number(rows * 7919)
                     + " of its own\";\n";
            if (chunk.size() > (1 << 20)) {
                f.write(chunk);
                chunk.clear();
            }
        }
        f.write(chunk);
    } else if (kind == "unclosed") {
        f.write(csvHeader);
        f.write("OH,Ohio,\"Adams");
        QByteArray chunk;
        while (f.size() + chunk.size() < (63LL << 20) / kShrink) {
            chunk += "OH,Ohio,Adams,039001,Site,Site,OH,162.550,WXA10,,,1000,NORMAL,Office|XX,\n";
            if (chunk.size() > (1 << 20)) {
                f.write(chunk);
                chunk.clear();
            }
        }
        f.write(chunk);
    }
    return f.error() == QFile::NoError ? rows : -1;
}

long peakKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Runs `work` in a child process; returns what it writes back.
template <typename F>
QByteArray inChild(F work)
{
    int fds[2];
    if (pipe(fds) != 0)
        return QByteArray();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const QByteArray answer = work();
        if (write(fds[1], answer.constData(), size_t(answer.size())) < 0)
            _exit(2);
        _exit(0);
    }
    close(fds[1]);
    QByteArray got;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        got.append(buf, n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return got;
}

void ImportPeakMemory(benchmark::State &state, const char *shape)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("listing"));
    const bool hostile = QByteArray(shape).contains(':');
    const qint64 rows = inChild([&] {
        return QByteArray::number(hostile ? writeHostile(path, std::strchr(shape, ':') + 1) : writeListing(path, shape));
    }).toLongLong();
    const qint64 bytes = QFile(path).size();
    double peakMb = 0;
    double startMb = 0;
    for (auto _ : state) {
        const QList<QByteArray> got =
            inChild([&] {
                const long before = peakKb();
                const CoverageImport::Result r = CoverageImport::importFile(path, QString());
                benchmark::DoNotOptimize(r.rowsRead);
                return QByteArray::number(qlonglong(before)) + ' ' + QByteArray::number(qlonglong(peakKb())) + ' '
                       + QByteArray::number(r.rowsRead);
            })
                .split(' ');
        startMb = got.value(0).toDouble() / 1024.0;
        peakMb = got.value(1).toDouble() / 1024.0;
        state.counters["rowsRead"] = got.value(2).toDouble();
    }
    state.counters["fileMB"] = double(bytes) / (1024.0 * 1024.0);
    state.counters["rowsWritten"] = double(rows);
    state.counters["startMB"] = startMb;
    state.counters["peakMB"] = peakMb;
    std::printf("%-24s %6.1f MB listing, %8lld rows: peak %6.1f MB (process at start %5.1f MB; target below 300 MB)\n",
                shape, double(bytes) / (1024.0 * 1024.0), qlonglong(rows), peakMb, startMb);
}
BENCHMARK_CAPTURE(ImportPeakMemory, csv, "CSV")->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ImportPeakMemory, ccl_js, "CCL.js")->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ImportPeakMemory, ccl_data_js, "ccl-data.js")->Iterations(1)->Unit(benchmark::kSecond);
// The hostile shapes: 60 MB of commas on one CSV row; ccl-data.js with 62 MB
// of blank lines; CSV of 63 MB of blank lines; a CCL.js minified to one
// line; a CCL.js with a million different remarks; a CSV whose quote never
// closes.
BENCHMARK_CAPTURE(ImportPeakMemory, commas_one_row, "CSV:commas")->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ImportPeakMemory, blank_lines_js, "ccl-data.js:blank-js")->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ImportPeakMemory, blank_lines_csv, "CSV:blank-csv")->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ImportPeakMemory, minified_ccl_js, "CCL.js:minified")->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ImportPeakMemory, million_remarks, "CCL.js:remarks")->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ImportPeakMemory, unclosed_quote, "CSV:unclosed")->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
