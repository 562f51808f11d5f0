// SPDX-License-Identifier: MIT
#include "link/port_map.h"

#include "link/port_devices.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStringView>

#include <functional>
#include <utility>

namespace {

using Expected = SettingsFileProblem::Expected;

// The settings file's bytes, taken only from a regular file (or a link to
// one): a FIFO would hold the console before its window appears, and a device
// such as /dev/zero never ends. Nothing when there is no file.
SettingsFileProblem readRegularFile(const QString &name, QByteArray *bytes)
{
    const QString leadsTo = QFileInfo(name).isSymLink() ? QFileInfo(name).canonicalFilePath() : "";
    QFile file;
    const regularfile::Opened opened = regularfile::open(file, name);
    switch (opened.kind) {
    case regularfile::Kind::Missing:
        return {}; // a link that leads nowhere included
    case regularfile::Kind::Unreadable:
        return {Expected::Readable, name, 0, opened.error};
    case regularfile::Kind::File:
        *bytes = file.read(SettingsFileProblem::MaxFileSize + 1);
        if (bytes->size() > SettingsFileProblem::MaxFileSize)
            return {Expected::SmallerFile, name, 0, leadsTo};
        return {};
    default:
        return {Expected::RegularFile, name, 0, leadsTo, 0, opened.kind};
    }
}

// Longer than any path the system takes.
constexpr qint64 MaxLineLength = 4096;

int hexValue(QChar c)
{
    return QStringView(u"0123456789abcdef").indexOf(c, 0, Qt::CaseInsensitive);
}

// What the value of a "comN=" line holds. Strict where QSettings is lenient:
// what it would quietly change or join is refused here.
Expected readValue(QStringView text, QString *value)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const bool quoted = i < text.size() && text[i] == u'"';
    if (quoted)
        ++i;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\') {
            if (++i == text.size())
                return Expected::NoContinuation;
            const QChar next = text[i];
            if (next == u'\\' || next == u'"' || next == u'\'' || next == u'?') {
                *value += next;
                continue;
            }
            if (next != u'x')
                return Expected::Escape;
            uint code = 0;
            qsizetype digits = 0;
            for (int d; i + 1 < text.size() && digits < 4 && (d = hexValue(text[i + 1])) >= 0;
                 ++i, ++digits)
                code = code * 16 + uint(d);
            if (digits == 0)
                return Expected::Escape;
            *value += QChar(char16_t(code));
        } else if (c == u'"') {
            if (!quoted)
                return Expected::WholeQuote;
            const QStringView rest = text.mid(i + 1).trimmed();
            return rest.isEmpty() || rest.startsWith(u';') ? Expected::None
                                                           : Expected::EndAfterQuote;
        } else if (c == u';' && !quoted) {
            break; // the rest is a comment
        } else {
            *value += c;
        }
    }
    // What is left, the caller trims.
    return quoted ? Expected::ClosingQuote : Expected::None;
}

// "com1" to "com8": the port number; 0 otherwise.
int portKey(QStringView key)
{
    if (key.size() != 4 || !key.startsWith(u"com"))
        return 0;
    const int n = key[3].digitValue();
    return n >= PortMap::FirstPort && n <= PortMap::LastPort ? n : 0;
}

} // namespace

PortMap::PortMap(Paths commandLine, const QString &settingsFile)
    : command_line(std::move(commandLine)), settings_file(settingsFile)
{
    if (!settings_file.isEmpty())
        readSettingsFile(settings_file);
    // The name QSettings gave the file for a while: what that file holds may
    // be what the user meant, so it must not go unseen. (On Windows it is the
    // file itself.)
    const QFileInfo info(settings_file);
    const QString stray = info.path() + QStringLiteral("/%1.ini").arg(info.completeBaseName());
    if (!settings_file.isEmpty() && stray != settings_file &&
        (QFileInfo::exists(stray) || QFileInfo(stray).isSymLink()))
        stray_problem = {Expected::NoStrayFile, stray, 0, settings_file, 0};
    for (QString &path : command_line)
        path = portdevices::fromCommandLine(path);
}

// Line by line, so that every line is either understood or reported: a typo
// must not send "Com N" to a device the operator did not mean.
void PortMap::readSettingsFile(const QString &fileName)
{
    QByteArray bytes;
    settings_problem = readRegularFile(fileName, &bytes);
    if (!settings_problem.isEmpty())
        return;
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    enum class Group { None, Ports, Other } group = Group::None;
    QSet<int> seen;
    // What one whole line sets, or what was expected there instead.
    auto understand = [&](const QString &line, int number) {
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            return Expected::None;
        if (line.startsWith(u'[')) {
            group = line == QLatin1String("[ports]") ? Group::Ports : Group::Other;
            return group == Group::Other ? Expected::PortsGroup : Expected::None;
        }
        if (group != Group::Ports) // under another group, its own line is reported
            return group == Group::None ? Expected::UnderPorts : Expected::None;
        const qsizetype equals = line.indexOf(u'=');
        const int port = equals < 0 ? 0 : portKey(QStringView(line).left(equals).trimmed());
        if (port == 0)
            return Expected::PortKey;
        QString value;
        if (const Expected wrong = readValue(QStringView(line).mid(equals + 1), &value);
            wrong != Expected::None)
            return wrong;
        if (seen.contains(port)) {
            settings_entries.remove(port);
            return Expected::Once;
        }
        seen.insert(port);
        value = value.trimmed();
        if (!value.isEmpty()) {
            settings_entries.insert(port, value);
            settings_lines.insert(port, number);
        }
        return Expected::None;
    };
    // A backslash at the end joins the next line to the one reported.
    auto joinsNext = [](const QString &line) {
        qsizetype backslashes = 0;
        while (backslashes < line.size() && line[line.size() - 1 - backslashes] == u'\\')
            ++backslashes;
        return backslashes % 2 == 1;
    };
    bool joined = false;
    for (int number = 1; !file.atEnd(); ++number) {
        const QByteArray raw = file.readLine(MaxLineLength);
        const bool whole = raw.endsWith('\n') || file.atEnd();
        for (QByteArray rest = raw; !rest.endsWith('\n') && !file.atEnd();)
            rest = file.readLine(MaxLineLength);
        const QString line = QString::fromUtf8(raw).trimmed();
        if (std::exchange(joined, joinsNext(line)))
            continue;
        const Expected wrong = whole ? understand(line, number) : Expected::ShorterLine;
        if (wrong == Expected::None)
            continue;
        if (settings_problem.isEmpty())
            settings_problem = {wrong, fileName, number, whole ? line : line.left(40), 0};
        else
            ++settings_problem.others;
    }
}

QString PortMap::userSettingsFile()
{
    const auto [variable, usual, suffix] = portdevices::settingsPlace;
    QString folder = QDir::fromNativeSeparators(qEnvironmentVariable(variable));
    // The XDG rules ignore a relative path; Qt 6.4 would take it from the folder
    // the console starts in.
    if (!QDir::isAbsolutePath(folder))
        folder = QDir::homePath() + QLatin1String(usual);
    return folder + QStringLiteral("/Zelvor/zelvor-console") + QLatin1String(suffix);
}

QList<SettingsFileProblem> PortMap::settingsProblems() const
{
    QList<SettingsFileProblem> problems{settings_problem, stray_problem};
    problems.removeIf(std::mem_fn(&SettingsFileProblem::isEmpty));
    return problems;
}

PortTarget PortMap::resolve(int portNumber) const
{
    PortTarget at;
    at.portNumber = portNumber;
    if (simulated.contains(portNumber)) {
        at.path = simulated.value(portNumber);
        at.origin = PortOrigin::Simulated;
    } else if (command_line.contains(portNumber)) {
        at.path = command_line.value(portNumber);
        at.origin = PortOrigin::CommandLine;
    } else if (settings_entries.contains(portNumber)) {
        at.origin = PortOrigin::SettingsFile;
        at.settingsFile = settings_file;
        at.settingsLine = settings_lines.value(portNumber);
        at.path = portdevices::fromSettings(device_dir, settings_entries.value(portNumber));
    } else {
        // The file may have meant this port in a line it could not understand.
        at.settings = settingsProblem();
        portdevices::standardName(device_dir, at);
    }
    // The standard name is what the serial driver reports on as it is; a
    // simulated line is this program's own, and may be no file at all.
    if (at.origin != PortOrigin::Standard && at.origin != PortOrigin::Simulated)
        at.missing = portdevices::missingEnd(at.path);
    return at;
}

PortDescription PortMap::describe(int portNumber) const
{
    PortDescription description;
    description.target = resolve(portNumber);
    const PortTarget &at = description.target;
    if (!at.opens()) {
        description.kind = PortDescription::Kind::Missing;
        return description;
    }
    portdevices::describe(at.path, description);
    // Asked like any other for the device its path leads to; whatever the
    // system lists there, the line is one this program plays itself.
    if (at.origin == PortOrigin::Simulated)
        description.kind = PortDescription::Kind::Simulated;
    return description;
}
