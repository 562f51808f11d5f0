// SPDX-License-Identifier: MIT
#include "console/port_words.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

QString userName()
{
#ifdef Q_OS_UNIX
    if (const passwd *user = ::getpwuid(::getuid()))
        return QString::fromLocal8Bit(user->pw_name);
#endif
    return QStringLiteral("USER");
}

// A path as a shell takes it in a command to copy.
QString shellWord(const QString &path)
{
    const bool plain = std::all_of(path.cbegin(), path.cend(), [](QChar c) {
        return c.isLetterOrNumber() || QStringView(u"/._-+,:@").contains(c);
    });
    if (plain && !path.isEmpty())
        return path;
    return u'\'' + QString(path).replace(QLatin1String("'"), QLatin1String("'\\''")) + u'\'';
}

// A line of the file as found, short and printable: a binary file's bytes
// must not reach the message as they are.
QString shownLine(const QString &text)
{
    constexpr qsizetype Longest = 60;
    QString shown;
    for (QChar c : text.left(Longest))
        shown += c.isPrint() ? c : QChar(QChar::ReplacementCharacter);
    if (text.size() > Longest)
        shown += QChar(0x2026);
    return shown;
}

// Not one line but the file as a whole.
bool wholeFile(const SettingsFileProblem &problem)
{
    using Expected = SettingsFileProblem::Expected;
    return problem.expected == Expected::RegularFile || problem.expected == Expected::SmallerFile;
}

} // namespace

QString PortWords::trouble(const PortError &error)
{
    switch (error.trouble) {
    case PortTrouble::Gone:
        return tr("The device is gone or was unplugged: plug the adapter in again and check its "
                  "cable, then choose Start Config. again.");
    case PortTrouble::NotPresent:
        return tr("There is no such device: plug the adapter in, or choose another port under "
                  "Setting > Communication Settings.");
    case PortTrouble::NoPermission:
        if (error.group.isEmpty())
            return tr("You have no permission to use the device: ask an administrator for read "
                      "and write access to it.");
        return tr("You have no permission to use the device: join the group \"%1\" that owns it "
                  "(an administrator runs \"usermod -aG %1 %2\"), then log in again.")
            .arg(error.group, userName());
    case PortTrouble::InUse:
        return tr("The port is in use by another program: end that program, or choose another "
                  "port.");
    case PortTrouble::StaleLock: {
        const QString who = error.lockOwner == QLatin1String("root")
                                ? error.lockOwner
                                : tr("%1 or root").arg(error.lockOwner);
        return tr("A stale lock file of a program that has ended blocks the port: %1, owned by "
                  "%2. Remove it (%3 runs \"rm %4\"), then choose Start Config. again.")
            .arg(error.lockFile, error.lockOwner, who, shellWord(error.lockFile));
    }
    case PortTrouble::SettingsFile: {
        const SettingsFileProblem &problem = error.target.settings;
        const QString text =
            problem.expected == SettingsFileProblem::Expected::NoStrayFile
                ? tr("A settings file that the console does not read is there, so Com %1 is not "
                     "opened through a fallback: %2. Move what it sets into that file and "
                     "remove it, then start the console again.")
            : wholeFile(problem)
                ? tr("The settings file is not read, so Com %1 is not opened through a "
                     "fallback: %2. Mend the file, then start the console again.")
                : tr("The settings file has a line the console does not understand, so Com %1 is "
                     "not opened through a fallback: %2. Mend the file, then start the console "
                     "again.");
        return text.arg(error.target.portNumber).arg(settingsProblem(problem));
    }
    case PortTrouble::Other:
        break;
    }
    return {};
}

QString PortWords::detail(const PortError &error)
{
    const QString why = missing(error.target);
    if (!why.isEmpty())
        return why;
    const PortTarget &at = error.target;
    if (at.origin == PortOrigin::SettingsFile)
        return tr("%1, set for Com %2 in %3, line %4: %5")
            .arg(at.path)
            .arg(at.portNumber)
            .arg(QDir::toNativeSeparators(at.settingsFile))
            .arg(at.settingsLine)
            .arg(error.description);
    return error.description;
}

QString PortWords::missing(const PortTarget &target)
{
    if (target.missing.isEmpty())
        return {};
    const QString from = [&target] {
        switch (target.origin) {
        case PortOrigin::Simulated:
            return tr(", the simulated instrument's line,");
        case PortOrigin::CommandLine:
            return tr(", given for Com %1 on the command line,").arg(target.portNumber);
        case PortOrigin::SettingsFile:
            return tr(", set for Com %1 in %2, line %3,")
                .arg(target.portNumber)
                .arg(QDir::toNativeSeparators(target.settingsFile))
                .arg(target.settingsLine);
        case PortOrigin::Alias:
        case PortOrigin::Standard:
            break;
        }
        return QString();
    }();
    if (target.missing == target.path)
        return tr("%1%2 is not present").arg(target.path, from);
    return tr("%1%2 leads to %3, which is not present").arg(target.path, from, target.missing);
}

QString PortWords::description(const PortDescription &description)
{
    const PortTarget &at = description.target;
    const QString origin = [&at] {
        switch (at.origin) {
        case PortOrigin::Simulated:
            return tr("simulated instrument: --simulate on the command line");
        case PortOrigin::CommandLine:
            return tr("--port on the command line");
        case PortOrigin::SettingsFile:
            return tr("com%1 in %2")
                .arg(at.portNumber)
                .arg(QDir::toNativeSeparators(at.settingsFile));
        case PortOrigin::Alias:
            return tr("an alias made on this computer");
        case PortOrigin::Standard:
            return tr("the standard name; no other is set");
        }
        return QString();
    }();
    QStringList lines{tr("Com %1 opens %2 (%3).").arg(at.portNumber).arg(at.path, origin)};
    if (!description.device.isEmpty())
        lines += tr("It leads to %1.").arg(description.device);
    QStringList known = description.details;
    if (!description.serialNumber.isEmpty())
        known += tr("serial number %1").arg(description.serialNumber);
    const QString what = description.kind == PortDescription::Kind::UsbAdapter ? tr("USB adapter")
                                                                               : tr("Serial port");
    switch (description.kind) {
    case PortDescription::Kind::Missing:
        lines += at.settings.isEmpty() ? tr("Nothing is there: %1.").arg(missing(at))
                                       : tr("Not opened: %1.").arg(settingsProblem(at.settings));
        break;
    case PortDescription::Kind::Absent:
#ifdef Q_OS_WIN
        lines += tr("Nothing is there: no port %1 is present.").arg(at.path);
#else
        lines += tr("Nothing is there: %1 is not present.").arg(at.path);
#endif
        break;
    case PortDescription::Kind::Simulated:
#ifdef Q_OS_WIN
        lines += tr("A line inside this program, which plays the instrument at its other end.");
#else
        lines += tr("A pseudo-terminal; this program plays the instrument at its other end.");
#endif
        break;
    case PortDescription::Kind::NotListed:
        lines += tr("Present, but not a serial port this computer lists (a pseudo-terminal, for "
                    "example).");
        break;
    case PortDescription::Kind::UsbAdapter:
    case PortDescription::Kind::SerialPort:
        lines += known.isEmpty() ? tr("%1, with no description.").arg(what)
                                 : tr("%1: %2.").arg(what, known.join(QStringLiteral(", ")));
        break;
    }
    return lines.join(QLatin1Char('\n'));
}

QString PortWords::settingsProblem(const SettingsFileProblem &problem)
{
    using Expected = SettingsFileProblem::Expected;
    using Kind = regularfile::Kind;
    const QString file = QDir::toNativeSeparators(problem.file);
    // A line of the file that is not understood.
    const auto onLine = [&](const QString &expected) {
        QString text = tr("%1, line %2: expected %3, found \"%4\"")
                           .arg(file)
                           .arg(problem.line)
                           .arg(expected, shownLine(problem.text));
        if (problem.others > 0)
            text += tr(" (and %n more line(s) not understood)", nullptr, problem.others);
        return text;
    };
    switch (problem.expected) {
    case Expected::None:
        return {};
    case Expected::Readable:
        return tr("%1 cannot be read: %2").arg(file, problem.text);
    case Expected::RegularFile: {
        const QString what =
            problem.kind == Kind::Folder ? tr("a folder")
            : problem.kind == Kind::Fifo ? tr("a FIFO")
            : problem.kind == Kind::CharacterDevice || problem.kind == Kind::BlockDevice
                ? tr("a device")
            : problem.kind == Kind::Socket ? tr("a socket")
                                           : tr("a special file");
        if (!problem.text.isEmpty())
            return tr("%1 leads to %2, %3, not a regular file")
                .arg(file, QDir::toNativeSeparators(problem.text), what);
        return tr("%1 is %2, not a regular file").arg(file, what);
    }
    case Expected::SmallerFile:
        return tr("%1 is larger than %2 KiB, more than any settings file holds")
            .arg(file)
            .arg(SettingsFileProblem::MaxFileSize / 1024);
    case Expected::NoStrayFile:
        return tr("%1 is not read; the console reads %2 beside it")
            .arg(file, QFileInfo(problem.text).fileName());
    case Expected::PortsGroup:
        return onLine(tr("[ports], the only group"));
    case Expected::UnderPorts:
        return onLine(tr("the line under [ports]"));
    case Expected::PortKey:
        return onLine(tr("com1 to com8 = a path"));
    case Expected::ClosingQuote:
        return onLine(tr("a closing quote"));
    case Expected::NoContinuation:
        return onLine(tr("no backslash at the end, which joins the next line"));
    case Expected::Escape:
        return onLine(tr("a backslash only before \\, \", ' or xHH"));
    case Expected::WholeQuote:
        return onLine(tr("quotes only around the whole path"));
    case Expected::EndAfterQuote:
        return onLine(tr("nothing after the closing quote"));
    case Expected::Once:
        return onLine(tr("each port once"));
    case Expected::ShorterLine:
        return onLine(tr("a line of a path's length"));
    }
    return {};
}

QString PortWords::settingsWarning(const SettingsFileProblem &problem)
{
    const QString text =
        problem.expected == SettingsFileProblem::Expected::NoStrayFile
            ? tr("%1. Move what it sets into that file and remove it; until then no port is "
                 "opened through a fallback.")
        : wholeFile(problem)
            ? tr("the settings file is not read: %1. Until it is mended, no port is opened "
                 "through a fallback.")
            : tr("the settings file has a line it does not understand: %1. The ports it does not "
                 "set are not opened until it is mended.");
    return text.arg(settingsProblem(problem));
}

QString PortWords::message(int comPort, const QString &what, const PortError &error,
                           const QString &note)
{
    QStringList paragraphs = {tr("Com %1 (%2) %3").arg(comPort).arg(error.portName, what)};
    const QString cause = trouble(error);
    if (!cause.isEmpty())
        paragraphs << cause;
    if (!note.isEmpty())
        paragraphs << note;
    // A port the settings file may have meant is refused before any system call.
    if (error.trouble != PortTrouble::SettingsFile)
        paragraphs << tr("Error %1: %2").arg(error.number).arg(detail(error));
    return paragraphs.join(QStringLiteral("\n\n"));
}
