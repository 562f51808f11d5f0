// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QString>

// Files read from paths a user names (the settings file, a run record) are
// read only when they are regular files, or links to one: a FIFO would hold
// the reader, a device such as /dev/zero never ends, and opening a serial
// port raises its lines. On Windows, anything that is not a file on a disk.
namespace regularfile {

enum class Kind {
    File,
    Missing,
    Unreadable,
    Folder,
    Fifo,
    CharacterDevice,
    BlockDevice,
    Socket,
    Link, // only where a link is not followed
    Other
};

struct Opened
{
    Kind kind = Kind::File;
    QString error; // Unreadable: the system's reason
};

// Opens `path` into `file` for reading when it is a regular file; never
// blocks, also on a FIFO that takes the name meanwhile.
Opened open(QFile &file, const QString &path);

#ifndef Q_OS_WIN
// What a POSIX file mode (stat's st_mode) says stands there.
Kind kindOfMode(unsigned mode);
#endif

} // namespace regularfile
