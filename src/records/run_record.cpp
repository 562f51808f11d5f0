// SPDX-License-Identifier: MIT
#include "records/run_record.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const QByteArray Header = "time,event,detail,zero,span,low_range,high_range\r\n";
// A thousand runs started in one second means something else is wrong.
constexpr int MaxNameSuffix = 999;

// ISO 8601 with milliseconds and the offset always as +hh:mm, UTC included,
// so that every line of every record has one shape.
QString isoTime(const QDateTime &at)
{
    const int offset = at.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return at.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) + (offset < 0 ? u'-' : u'+') +
           QString::asprintf("%02d:%02d", minutes / 60, minutes % 60);
}

// Quoted where a reader would otherwise split or change it: separators, quotes,
// line breaks, and blanks at either end, which spreadsheets trim.
void appendField(QString &line, const QString &field)
{
    const bool quote = !field.isEmpty() &&
                       (field.front().isSpace() || field.back().isSpace() || field.contains(u',') ||
                        field.contains(u'"') || field.contains(u'\r') || field.contains(u'\n'));
    if (!quote) {
        line += field;
        return;
    }
    line += u'"';
    for (QChar c : field) {
        if (c == u'"')
            line += u'"';
        line += c;
    }
    line += u'"';
}

// Local time with its offset held in the value. Qt works a local time's offset
// out again at every question, about 4 us a line and most of what a line
// costs; the C library reads the zone once.
QDateTime localNow()
{
#ifdef Q_OS_WIN
    return QDateTime::currentDateTime();
#else
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const time_t seconds = time_t(ms / 1000);
    tm local{};
    if (!localtime_r(&seconds, &local))
        return QDateTime::currentDateTime();
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, int(local.tm_gmtoff));
#endif
}

bool syncToDisk(int handle)
{
#ifdef Q_OS_WIN
    return _commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

} // namespace

QString RunRecord::defaultFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/runs");
}

RunRecord::RunRecord(QString folder, Clock clock, QObject *parent)
    : QObject(parent), folder(std::move(folder)), clock(std::move(clock))
{
    if (!this->clock)
        this->clock = localNow;
}

// No signal from here: whoever listens may be going away too.
RunRecord::~RunRecord()
{
    closeFile(true);
}

void RunRecord::begin(int comPort, const QString &openedPath)
{
    if (const auto error = closeFile(true))
        emit failed(*error);
    lastReading.reset();
    const QDateTime started = clock();
    const QString baseName = started.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
                             QStringLiteral("_com%1").arg(comPort);
    if (const auto error = openNew(file, baseName)) {
        fail(*error);
        return;
    }
    path = file.fileName();
    if (file.write(Header) != Header.size()) {
        fail(writeFailure(file.errorString()));
        return;
    }
    writeLine(started, QStringLiteral("start"),
              QStringLiteral("Com %1 (%2)").arg(comPort).arg(openedPath));
    const std::pair<QString, QString> who[] = {{QStringLiteral("console"), identity.console},
                                               {QStringLiteral("computer"), identity.computer},
                                               {QStringLiteral("account"), identity.account}};
    for (const auto &[event, detail] : who) {
        if (!detail.isEmpty() && isRecording())
            writeLine(started, event, detail);
    }
}

void RunRecord::reading(const protocol::StatusFields &fields)
{
    if (!isRecording() || lastReading == fields)
        return;
    lastReading = fields;
    writeLine(clock(), QStringLiteral("reading"), QString(), fields);
}

void RunRecord::sent(QByteArrayView frame)
{
    if (isRecording())
        writeLine(clock(), QStringLiteral("sent"), QString::fromLatin1(frame));
}

void RunRecord::refused(const QString &action)
{
    if (isRecording())
        writeLine(clock(), QStringLiteral("refused"), action);
}

void RunRecord::end(const QString &detail)
{
    if (!isRecording())
        return;
    writeLine(clock(), QStringLiteral("end"), detail);
    if (const auto error = closeFile(true))
        emit failed(*error);
}

std::optional<QString> RunRecord::openNew(QFile &newFile, const QString &baseName)
{
    if (folder.isEmpty())
        return tr("Cannot keep run records: the system names no folder for application data");
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error || !QFileInfo(folder).isDir()) {
        const QString reason = error ? QString::fromLocal8Bit(error.message())
                                     : QString::fromLocal8Bit(std::strerror(ENOTDIR));
        return tr("Cannot make the run record folder %1: %2").arg(folder, reason);
    }
    for (int n = 1; n <= MaxNameSuffix; ++n) {
        const QString suffix = n == 1 ? QString() : QStringLiteral("_%1").arg(n);
        newFile.setFileName(folder + u'/' + baseName + suffix + QStringLiteral(".csv"));
        if (newFile.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return std::nullopt;
        if (!QFileInfo::exists(newFile.fileName()))
            return tr("Cannot create the run record %1: %2")
                .arg(newFile.fileName(), newFile.errorString());
    }
    return tr("Cannot create the run record %1: every name up to _%2 is taken")
        .arg(newFile.fileName())
        .arg(MaxNameSuffix);
}

void RunRecord::writeLine(const QDateTime &at, const QString &event, const QString &detail,
                          const protocol::StatusFields &fields)
{
    QString line;
    line.reserve(64);
    appendField(line, isoTime(at));
    for (const QString *field :
         {&event, &detail, &fields.zero, &fields.span, &fields.lowRange, &fields.highRange}) {
        line += u',';
        appendField(line, *field);
    }
    line += QStringLiteral("\r\n");
    const QByteArray bytes = line.toUtf8();
    // Unbuffered: this is one write to the kernel, so the line survives a kill.
    if (file.write(bytes) != bytes.size())
        fail(writeFailure(file.errorString()));
}

void RunRecord::fail(const QString &message)
{
    closeFile(false);
    emit failed(message);
}

std::optional<QString> RunRecord::closeFile(bool sync)
{
    if (!file.isOpen() || !sync || syncToDisk(file.handle())) {
        file.close();
        return std::nullopt;
    }
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    file.close();
    return writeFailure(reason);
}

QString RunRecord::writeFailure(const QString &reason) const
{
    return tr("Cannot write the run record %1: %2").arg(path, reason);
}
