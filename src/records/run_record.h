// SPDX-License-Identifier: MIT
#pragma once

#include "protocol/protocol.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string_view>

// The record of one configuration run: a CSV file, one line per event, each
// line handed to the kernel as it happens so that a killed console loses none.
// Recording never holds up a run: the first failure in a run is announced once
// by failed() and the rest of that run goes unrecorded; the next begin() tries
// again. Every call outside a run (before begin(), after end() or a failure)
// does nothing.
class RunRecord : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    // <application data>/runs; empty when the system offers no such place.
    static QString defaultFolder();

    // The folder is made at each begin() if missing. The clock gives the time
    // of every line and, at begin(), the file's name; it defaults to local time.
    explicit RunRecord(QString folder = defaultFolder(), Clock clock = {},
                       QObject *parent = nullptr);
    ~RunRecord() override;

    // For the runs begun from now on.
    void setFolder(const QString &newFolder) { folder = newFolder; }

    // Who made the record, for its calibration sheet: each part not empty is
    // a line of its own after the start line ("console", "computer",
    // "account"), in the runs begun from now on.
    struct Identity
    {
        QString console;  // the program's name and version
        QString computer; // the host name
        QString account;  // the login, then the full name in brackets when known
    };
    void setIdentity(const Identity &who) { identity = who; }

    // Opens <started>_com<N>.csv (then _2, _3 ... when taken, by a file or a
    // link, dangling or not; an existing file is never written) and writes the
    // header and the start line, which adds the device that a link leads to. A
    // run still open is closed first, without an end line.
    void begin(int comPort, const QString &openedPath);
    // Recorded only when it differs from the last reading of this run; control
    // characters as U+FFFD.
    void reading(const protocol::StatusFields &fields);
    // One whole frame as it went out, Latin-1 bytes.
    void sent(QByteArrayView frame);
    // A frame that never left: the line did not take it before the port closed.
    void unsent(QByteArrayView frame);
    void refused(const QString &action);
    // Writes the end line, syncs the file to disk and closes it.
    void end(const QString &detail);

    bool isRecording() const { return file.isOpen(); }
    // The file of the current or last run; empty before the first one opened.
    QString filePath() const { return path; }

signals:
    // Names the file (or folder) and the reason.
    void failed(const QString &message);

protected:
    // Makes the folder and opens a new file in it for writing, unbuffered;
    // `why` is the message for failed().
    virtual bool openNew(QFile &file, const QString &baseName, QString &why);

private:
    void record(std::string_view event, const QString &detail);
    void writeLine(const QDateTime &at, std::string_view event, const QString &detail,
                   const protocol::StatusFields &fields = {});
    // Writes one line (or the header) whole, or nothing of it.
    bool append(const QByteArray &bytes, QString &why);
    void fail(const QString &message);
    QString writeFailure(const QString &reason) const;
    // The file is closed in any case; false when its data may not be on disk.
    bool closeFile(bool sync, QString &why);

    QString folder;
    Clock clock;
    QFile file;
    QString path;
    std::optional<protocol::StatusFields> lastReading;
    // The base openNew() made the file: one that fails at its header goes again.
    bool made_here = false;
    Identity identity;
};
