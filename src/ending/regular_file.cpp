// SPDX-License-Identifier: MIT
#include "ending/regular_file.h"

#ifdef Q_OS_WIN
#include <QFileInfo>

#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace regularfile {

#ifdef Q_OS_WIN
Opened open(QFile &file, const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {Kind::Missing, {}};
    if (info.isDir())
        return {Kind::Folder, {}};
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {Kind::Unreadable, file.errorString()};
    const DWORD type = GetFileType(HANDLE(::_get_osfhandle(file.handle())));
    if (type == FILE_TYPE_DISK)
        return {};
    file.close();
    return {type == FILE_TYPE_CHAR   ? Kind::CharacterDevice
            : type == FILE_TYPE_PIPE ? Kind::Fifo
                                     : Kind::Other,
            {}};
}
#else
Opened open(QFile &file, const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR
                   ? Opened{Kind::Missing, {}}
                   : Opened{Kind::Unreadable, qt_error_string(errno)};
    if (kindOfMode(st.st_mode) != Kind::File)
        return {kindOfMode(st.st_mode), {}};
    // Not blocking, should a FIFO have taken the name since.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {Kind::Unreadable, qt_error_string(errno)};
    Opened why;
    if (::fstat(fd, &st) != 0)
        why = {Kind::Unreadable, qt_error_string(errno)};
    else if (kindOfMode(st.st_mode) != Kind::File)
        why.kind = kindOfMode(st.st_mode);
    else if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered,
                        QFileDevice::AutoCloseHandle))
        why = {Kind::Unreadable, file.errorString()};
    if (why.kind != Kind::File)
        ::close(fd);
    return why;
}

Kind kindOfMode(unsigned mode)
{
    if (S_ISREG(mode))
        return Kind::File;
    if (S_ISDIR(mode))
        return Kind::Folder;
    if (S_ISFIFO(mode))
        return Kind::Fifo;
    if (S_ISCHR(mode))
        return Kind::CharacterDevice;
    if (S_ISBLK(mode))
        return Kind::BlockDevice;
    if (S_ISSOCK(mode))
        return Kind::Socket;
    if (S_ISLNK(mode))
        return Kind::Link;
    return Kind::Other;
}
#endif

} // namespace regularfile
