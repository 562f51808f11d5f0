// SPDX-License-Identifier: MIT
#include "records/run_record.h"

#include "ending/emergency_stop.h"
#include "protocol/record_format.h"
#include "records/recorded_run.h"

#include <QDir>
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

namespace rf = recordformat;

// A thousand runs started in one second means something else is wrong.
constexpr int MaxNameSuffix = 999;

// Quoted where a reader would otherwise split or change it: separators, quotes,
// line breaks, and blanks at either end, which spreadsheets trim.
void appendField(QString &line, const QString &field)
{
    const bool quote = !field.isEmpty() &&
                       (field.front().isSpace() || field.back().isSpace() || field.contains(u',') ||
                        field.contains(u'"') || field.contains(u'\r') || field.contains(u'\n'));
    if (quote)
        line += u'"' + QString(field).replace(u'"', QStringLiteral("\"\"")) + u'"';
    else
        line += field;
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

// A NUL ends the line for common CSV readers and other control characters
// garble it; a reading is shown, not parsed, so each becomes U+FFFD.
QString printable(const QString &text)
{
    return withoutControls(text, QChar::ReplacementCharacter);
}

// A link (a by-id name, an alias) with the device it leads to now, so that
// two runs through one name to different adapters can be told apart.
QString withDevice(const QString &path)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty() || device == QDir::cleanPath(path))
        return path;
    return path + QStringLiteral(" -> ") + device;
}

} // namespace

QString RunRecord::defaultFolder()
{
    QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // The XDG rules ignore a relative XDG_DATA_HOME; Qt would put the records
    // in whatever folder the program was started from.
    const QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (!home.isEmpty() && QDir::isRelativePath(home) && data.startsWith(home))
        data = QDir::homePath() + QStringLiteral("/.local/share") + data.mid(home.size());
#endif
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
    QString unheard;
    closeFile(true, unheard);
}

void RunRecord::begin(int comPort, const QString &openedPath)
{
    QString why;
    if (!closeFile(true, why))
        emit failed(why);
    lastReading.reset();
    const QDateTime started = clock();
    const QString baseName = started.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
                             QStringLiteral("_com%1").arg(comPort);
    made_here = false;
    if (!openNew(file, baseName, why))
        return fail(why);
    path = file.fileName();
    if (!append(QByteArray::fromStdString(rf::header().append(rf::LineEnd)), why)) {
        // A file without its header is no record: it goes again.
        closeFile(false, why);
        if (made_here)
            QFile::remove(path);
        emit failed(why);
        return;
    }
    writeLine(started, rf::Start,
              QStringLiteral("Com %1 (%2)").arg(comPort).arg(withDevice(openedPath)));
    const std::pair<std::string_view, QString> who[] = {{rf::Console, identity.console},
                                                        {rf::Computer, identity.computer},
                                                        {rf::Account, identity.account}};
    for (const auto &[event, detail] : who) {
        if (!detail.isEmpty())
            writeLine(started, event, detail);
    }
    if (isRecording())
        emergency::setRecord(file.handle(), started.offsetFromUtc());
}

void RunRecord::reading(const protocol::StatusFields &fields)
{
    if (!isRecording() || lastReading == fields)
        return;
    lastReading = fields;
    writeLine(clock(), rf::Reading, QString(),
              {printable(fields.zero), printable(fields.span), printable(fields.lowRange),
               printable(fields.highRange)});
}

void RunRecord::sent(QByteArrayView frame)
{
    record(rf::Sent, QString::fromLatin1(frame));
}

void RunRecord::unsent(QByteArrayView frame)
{
    record(rf::Unsent, QString::fromLatin1(frame));
}

void RunRecord::refused(const QString &action)
{
    record(rf::Refused, action);
}

void RunRecord::end(const QString &detail)
{
    if (!isRecording())
        return;
    writeLine(clock(), rf::End, detail);
    QString why;
    if (!closeFile(true, why))
        emit failed(why);
}

bool RunRecord::openNew(QFile &newFile, const QString &baseName, QString &why)
{
    if (folder.isEmpty()) {
        why = tr("Cannot keep run records: the system names no folder for application data");
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error || !QFileInfo(folder).isDir()) {
        const QString reason = error ? QString::fromLocal8Bit(error.message())
                                     : QString::fromLocal8Bit(std::strerror(ENOTDIR));
        why = tr("Cannot make the run record folder %1: %2").arg(folder, reason);
        return false;
    }
    for (int n = 1; n <= MaxNameSuffix; ++n) {
        const QString suffix = n == 1 ? QString() : QStringLiteral("_%1").arg(n);
        newFile.setFileName(folder + u'/' + baseName + suffix + QStringLiteral(".csv"));
        if (newFile.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            made_here = true;
            return true;
        }
        // A dangling link takes the name as much as a file does.
        const QFileInfo taken(newFile.fileName());
        if (!taken.exists() && !taken.isSymLink()) {
            why = tr("Cannot create the run record %1: %2")
                      .arg(newFile.fileName(), newFile.errorString());
            return false;
        }
    }
    why = tr("Cannot create the run record %1: every name up to _%2 is taken")
              .arg(newFile.fileName())
              .arg(MaxNameSuffix);
    return false;
}

// The clock is read only for a line that is written.
void RunRecord::record(std::string_view event, const QString &detail)
{
    if (isRecording())
        writeLine(clock(), event, detail);
}

void RunRecord::writeLine(const QDateTime &at, std::string_view event, const QString &detail,
                          const protocol::StatusFields &fields)
{
    if (!isRecording())
        return;
    const QString eventWord = QString::fromLatin1(QByteArrayView(event));
    QString line;
    line.reserve(64);
    // One shape for every line of every record, the offset as +hh:mm in UTC too.
    appendField(line, withOffset(at, QLatin1String(rf::TimeFormat)));
    for (const QString *field :
         {&eventWord, &detail, &fields.zero, &fields.span, &fields.lowRange, &fields.highRange}) {
        line += u',';
        appendField(line, *field);
    }
    line += QLatin1String(QByteArrayView(rf::LineEnd));
    QString why;
    if (!append(line.toUtf8(), why))
        fail(why);
}

// One write to the kernel, so that a line survives a kill and is in the file
// whole or not at all: a short write is cut back to the last whole line.
bool RunRecord::append(const QByteArray &bytes, QString &why)
{
#ifdef Q_OS_WIN
    const qint64 before = file.pos();
    if (file.write(bytes) == bytes.size())
        return true;
    why = writeFailure(file.errorString());
    file.resize(before);
    return false;
#else
    const int fd = file.handle();
    const off_t before = ::lseek(fd, 0, SEEK_CUR);
    const ssize_t written = ::write(fd, bytes.constData(), std::size_t(bytes.size()));
    if (written == bytes.size())
        return true;
    int cause = errno;
    if (written >= 0) {
        // A short count carries no reason: the rest, once, tells it.
        const std::size_t rest = std::size_t(bytes.size() - written);
        const ssize_t more = ::write(fd, bytes.constData() + written, rest);
        if (more == ssize_t(rest))
            return true;
        cause = more < 0 ? errno : ENOSPC;
    }
    if (before >= 0 && ::ftruncate(fd, before) == 0)
        ::lseek(fd, before, SEEK_SET);
    why = writeFailure(QString::fromLocal8Bit(std::strerror(cause)));
    return false;
#endif
}

void RunRecord::fail(const QString &message)
{
    QString unsynced;
    closeFile(false, unsynced);
    emit failed(message);
}

bool RunRecord::closeFile(bool sync, QString &why)
{
    if (!file.isOpen())
        return true;
    emergency::clearRecord(file.handle());
#ifdef Q_OS_WIN
    const bool synced = !sync || _commit(file.handle()) == 0;
#else
    const bool synced = !sync || ::fsync(file.handle()) == 0;
#endif
    if (!synced)
        why = writeFailure(QString::fromLocal8Bit(std::strerror(errno)));
    file.close();
    return synced;
}

QString RunRecord::writeFailure(const QString &reason) const
{
    return tr("Cannot write the run record %1: %2").arg(path, reason);
}
