// SPDX-License-Identifier: MIT
// How long the calibration sheet of a run takes to make, from reading the
// record to the PDF on disk: what the console spends after the port is closed.
// A record of an ordinary run (feeds, both ranges, save) and one of a long run.

#include "bench_machine.h"
#include "records/run_record.h"
#include "records/run_sheet.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

constexpr int Rounds = 30;

QString recordOf(const QString &folder, int feeds)
{
    RunRecord record(folder);
    record.setIdentity({"zelvor-console 1.0.0.0", "bench-pc", "tech (Tech Name)"});
    record.begin(1, QStringLiteral("/dev/ttyUSB0"));
    record.sent("#1$");
    record.reading({"4.00", "20.0", "0.00", "10.0"});
    for (int i = 0; i < feeds; ++i) {
        record.sent(i % 2 ? "#4$" : "#2$");
        record.sent(i % 2 ? "#5$" : "#3$");
    }
    record.sent("#612.5$");
    record.reading({"4.00", "20.0", "12.5", "10.0"});
    record.sent("#7250$");
    record.reading({"4.00", "20.0", "12.5", "250 "});
    record.sent("#8$");
    record.end(QStringLiteral("stop"));
    return record.filePath();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    out << bench::machineLine() << '\n';
    QTemporaryDir dir;
    for (const int feeds : {2, 200}) {
        const QString record = recordOf(dir.filePath(QString::number(feeds)), feeds);
        std::vector<double> ms;
        for (int i = 0; i < Rounds; ++i) {
            QElapsedTimer timer;
            timer.start();
            const runsheet::Result sheet = runsheet::make(record);
            ms.push_back(timer.nsecsElapsed() / 1e6);
            if (sheet.status != runsheet::Result::Written) {
                out << sheet.message << '\n';
                return 1;
            }
        }
        const double first = ms.front();
        std::sort(ms.begin(), ms.end());
        out << QStringLiteral("%1 feeds: first sheet %2 ms, median %3 ms, slowest %4 ms "
                              "(%5 rounds)\n")
                   .arg(feeds)
                   .arg(first, 0, 'f', 1)
                   .arg(ms[ms.size() / 2], 0, 'f', 1)
                   .arg(ms.back(), 0, 'f', 1)
                   .arg(Rounds);
    }
    return 0;
}
