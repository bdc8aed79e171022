// The slow checks' helper (scripts/history-checks.sh): a writer that drives
// HistoryRecorder as the main window does, from its event loop, a reader that
// polls as a display does, and a look at the store afterwards.
//
//   history_tool flood PATH PREFIX RATE SECONDS [HOST]
//       records RATE reports a second for SECONDS seconds, for 500 calls
//       PREFIX0..PREFIX499 and for the call SHARED, whose reports every flood
//       makes alike (a second engine hearing the same packets); prints
//       "handed H recorded R dropped D" every 50 ms, and a summary at the end
//   history_tool poll PATH SECONDS
//       polls PRAGMA data_version every 100 ms, as a display does; prints how
//       long the newest report took to be seen, and the log's largest size
//   history_tool check PATH [PREFIX]
//       prints PRAGMA integrity_check, the reports (of calls beginning with
//       PREFIX) and the recorders rows
//   history_tool disk PATH
//       records into PATH as told line by line on standard input, each
//       answered with a line: "record N" hands over N reports; "fill" fills
//       the file system that holds PATH with a file beside it, "free"
//       removes that file; "status" prints "recorded R dropped D waiting W
//       problem TEXT" (lines of TEXT joined by " | "); "quit" stops the
//       recorder
//   history_tool hold PATH
//       keeps PATH open for reading, as another program may, until standard
//       input ends or it is killed; prints "holding" once it has it open

#include "HistoryReader.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace quintaro::history;

namespace {

// A busy channel's weather stations: each sends a report every few
// seconds under a flood of a few thousand a second.
constexpr int kCalls = 500;

std::int64_t nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

std::string report(std::int64_t seq, std::int64_t ms)
{
    return "_12071836c220s004g008t077r001p010P005h50b10132 #" + std::to_string(seq) + " " +
           std::to_string(ms);
}

int flood(const QString &path, const std::string &prefix, int rate, int seconds,
          const QString &host)
{
    auto recorder = std::make_unique<HistoryRecorder>();
    recorder->setEngineHost(host);
    recorder->start(path);
    const std::int64_t start = nowMs();
    std::int64_t seq = 0;    // reports of the calls PREFIX0..PREFIX499
    std::int64_t handed = 0; // and of SHARED
    const auto status = [&] {
        std::printf("handed %lld recorded %llu dropped %llu\n", static_cast<long long>(handed),
                    recorder->recorded(), recorder->dropped());
        std::fflush(stdout);
    };
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const std::int64_t elapsed = nowMs() - start;
        if (elapsed >= std::int64_t(seconds) * 1000) {
            tick.stop();
            QCoreApplication::quit();
            return;
        }
        // Each call's reports, and the shared call's, as a flood of
        // distinct weather reports would bring them.
        const std::int64_t due = elapsed * rate / 1000;
        for (; seq < due; ++seq, ++handed) {
            const std::string info = report(seq, nowMs());
            const std::string call = prefix + std::to_string(seq % kCalls);
            recorder->record(call, "WIDE1-1,WIDE2-1", info, nowMs() / 1000);
            if (seq % 10 == 0) {
                recorder->record("SHARED", "WIDE2-1", report(seq, 0), nowMs() / 1000);
                ++handed;
            }
        }
    });
    QTimer print;
    QObject::connect(&print, &QTimer::timeout, status);
    tick.start(5);
    print.start(50);
    QCoreApplication::exec();
    recorder->stop();
    std::printf("done: %lld reports of %s*, %lld handed in all, %llu recorded, %llu dropped\n",
                static_cast<long long>(seq), prefix.c_str(), static_cast<long long>(handed),
                recorder->recorded(), recorder->dropped());
    return 0;
}

int poll(const QString &path, int seconds)
{
    HistoryReader reader;
    const std::int64_t start = nowMs();
    while (!reader.open(path) && nowMs() - start < 10000)
        QThread::msleep(100);
    const QString name = QStringLiteral("history-tool-poll");
    QSqlDatabase db = openConnection(name, path, 100, true);
    std::optional<std::int64_t> seen;
    std::vector<std::int64_t> delays;
    qint64 walLargest = 0;
    int failedPolls = 0;
    while (nowMs() - start < std::int64_t(seconds) * 1000) {
        walLargest = std::max(walLargest, QFileInfo(path + QStringLiteral("-wal")).size());
        const std::optional<std::int64_t> version = reader.dataVersion();
        if (!version) {
            ++failedPolls;
        } else if (version != seen) {
            seen = version;
            QSqlQuery newest(db);
            if (newest.exec(QStringLiteral("SELECT info FROM reports WHERE call <> 'SHARED'"
                                           " ORDER BY id DESC LIMIT 1")) &&
                newest.next()) {
                const QByteArray info = newest.value(0).toByteArray();
                delays.push_back(nowMs() - info.mid(info.lastIndexOf(' ') + 1).toLongLong());
            }
        }
        QThread::msleep(100);
    }
    db = QSqlDatabase();
    closeConnection(name);
    std::sort(delays.begin(), delays.end());
    const auto at = [&](double share) {
        return delays.empty() ? -1 : delays[std::size_t(share * double(delays.size() - 1))];
    };
    std::printf("changes seen %zu, newest report seen after: median %lld ms, largest %lld ms; "
                "failed polls %d; largest log %lld bytes, at the end %lld bytes\n",
                delays.size(), static_cast<long long>(at(0.5)), static_cast<long long>(at(1.0)),
                failedPolls, static_cast<long long>(walLargest),
                static_cast<long long>(QFileInfo(path + QStringLiteral("-wal")).size()));
    return 0;
}

int check(const QString &path, const QString &prefix)
{
    const QString name = QStringLiteral("history-tool-check");
    int status = 0;
    {
        QSqlDatabase db = openConnection(name, path, 5000, false);
        QSqlQuery query(db);
        const auto one = [&](const QString &sql) {
            return query.exec(sql) && query.next() ? query.value(0).toString()
                                                   : describeError(query.lastError());
        };
        const QString integrity = one(QStringLiteral("PRAGMA integrity_check"));
        query.prepare(QStringLiteral("SELECT count(*) FROM reports WHERE call LIKE ?"));
        query.addBindValue(prefix + QLatin1Char('%'));
        const QString reports =
            query.exec() && query.next() ? query.value(0).toString() : QStringLiteral("?");
        std::printf("integrity %s reports %s recorders %s\n", qPrintable(integrity),
                    qPrintable(reports),
                    qPrintable(one(QStringLiteral("SELECT count(*) FROM recorders"))));
        status = integrity == QLatin1String("ok") ? 0 : 1;
    }
    closeConnection(name);
    return status;
}

// Bytes are written until the file system has no room for one more.
qint64 fill(const QString &path)
{
    QFile filler(path);
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return -1;
    qint64 written = 0;
    for (const qint64 chunk : {qint64(65536), qint64(4096), qint64(1)}) {
        const QByteArray bytes(chunk, 'f');
        while (filler.write(bytes) == chunk)
            written += chunk;
    }
    return written;
}

int disk(const QString &path)
{
    HistoryRecorder recorder;
    recorder.start(path);
    const QString filler = QFileInfo(path).absolutePath() + QStringLiteral("/filler");
    std::int64_t seq = 0;
    char line[256];
    std::printf("ready\n");
    std::fflush(stdout);
    while (std::fgets(line, sizeof line, stdin)) {
        const QByteArray command = QByteArray(line).trimmed();
        if (command.startsWith("record ")) {
            for (int n = command.mid(7).toInt(); n > 0; --n, ++seq)
                recorder.record("IK3WX", "WIDE2-1", report(seq, nowMs()), nowMs() / 1000);
            std::printf("recorded\n");
        } else if (command == "fill") {
            std::printf("filled %lld\n", static_cast<long long>(fill(filler)));
        } else if (command == "free") {
            std::printf("freed %d\n", QFile::remove(filler) ? 1 : 0);
        } else if (command == "status") {
            std::printf(
                "recorded %llu dropped %llu waiting %zu problem %s\n", recorder.recorded(),
                recorder.dropped(), recorder.waiting(),
                qPrintable(recorder.problem().replace(QLatin1Char('\n'), QStringLiteral(" | "))));
        } else if (command == "quit") {
            break;
        } else {
            std::printf("unknown command\n");
        }
        std::fflush(stdout);
    }
    recorder.stop();
    std::printf("stopped\n");
    return 0;
}

int hold(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("cannot open: %s\n", qPrintable(file.errorString()));
        return 1;
    }
    std::printf("holding\n");
    std::fflush(stdout);
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    const QString path = args.value(2);
    if (mode == QLatin1String("flood") && args.size() >= 6)
        return flood(path, args[3].toStdString(), args[4].toInt(), args[5].toInt(),
                     args.value(6, QStringLiteral("127.0.0.1")));
    if (mode == QLatin1String("poll") && args.size() == 4)
        return poll(path, args[3].toInt());
    if (mode == QLatin1String("check") && args.size() >= 3)
        return check(path, args.value(3));
    if (mode == QLatin1String("disk") && args.size() == 3)
        return disk(path);
    if (mode == QLatin1String("hold") && args.size() == 3)
        return hold(path);
    std::fprintf(stderr, "usage: history_tool flood PATH PREFIX RATE SECONDS [HOST] | "
                         "poll PATH SECONDS | check PATH [PREFIX] | disk PATH | hold PATH\n");
    return 2;
}
