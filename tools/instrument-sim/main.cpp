// SPDX-License-Identifier: MIT
// zelvor-instrument-sim: plays the instrument on a serial line so that the
// console can be tried, shown and tested without one.
#ifdef ZELVOR_ENDING_SIGNALS
#include "ending/ending_signals.h"
#endif
#include "sim/instrument.h"
#include "sim/line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTime>

#include <cerrno>
#include <cstdio>
#include <cstring>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

void say(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
}

void sayAt(const char *direction, const QString &text)
{
    say(QStringLiteral("%1 %2 %3")
            .arg(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")),
                 QLatin1String(direction), text));
}

// Bytes as a terminal can show them: printable characters as they are,
// everything else as \xNN.
QString visible(const QByteArray &bytes)
{
    QString out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\')
            out += QStringLiteral("\\\\");
        else if (c >= 0x20 && c < 0x7F)
            out += QLatin1Char(char(c));
        else
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    return out;
}

#ifndef Q_OS_WIN
// A link left behind by a simulator that could not tidy up (kill -9, a crash)
// leads to a pseudo-terminal that is gone, or that is our own now: numbers are
// used again at once. Any other that exists belongs to someone else.
bool isStaleLink(const QString &link, const QString &ours, QString *target)
{
    char buf[4096];
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buf, sizeof buf);
    if (n <= 0 || size_t(n) == sizeof buf)
        return false;
    *target = QFile::decodeName(QByteArray(buf, n));
    static const QRegularExpression pty(QStringLiteral("^/dev/pts/[0-9]+$"));
    struct stat st;
    if (!pty.match(*target).hasMatch())
        return false;
    return *target == ours ||
           (::lstat(QFile::encodeName(*target).constData(), &st) != 0 && errno == ENOENT);
}

bool makeLink(const QString &link, const QString &target)
{
    struct stat st;
    if (::lstat(QFile::encodeName(link).constData(), &st) == 0) {
        QString old_target;
        if (!isStaleLink(link, target, &old_target)) {
            say(QStringLiteral("%1 exists already; remove it or choose another --link").arg(link));
            return false;
        }
        if (::unlink(QFile::encodeName(link).constData()) != 0) {
            say(QStringLiteral("cannot remove the stale link %1: %2")
                    .arg(link, QString::fromLocal8Bit(strerror(errno))));
            return false;
        }
        say(QStringLiteral("%1 led to %2, which is gone (a simulator that could not tidy up); "
                           "replacing it")
                .arg(link, old_target));
    }
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) !=
        0) {
        say(QStringLiteral("cannot make %1: %2")
                .arg(link, QString::fromLocal8Bit(strerror(errno))));
        return false;
    }
    return true;
}

void removeLink(const QString &link, const QString &target)
{
    // Only our own link: someone may have replaced it meanwhile.
    char buf[4096];
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buf, sizeof buf);
    if (n > 0 && QByteArray(buf, n) == QFile::encodeName(target))
        ::unlink(QFile::encodeName(link).constData());
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvor-instrument-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELVOR_VERSION));
#ifdef Q_OS_WIN
    // Windows' C library buffers a "line-buffered" stream whole.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
#else
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
#endif

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays a Zelvor instrument on a serial line. Without --port it opens a "
                       "pseudo-terminal and prints the path the console must open."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption port_opt(
        QStringLiteral("port"),
        QStringLiteral("Use this serial port instead of a pseudo-terminal."),
        QStringLiteral("path"));
    const QCommandLineOption link_opt(
        QStringLiteral("link"),
        QStringLiteral("Make <path> a link to the line while running (/dev/com2 is the console's "
                       "\"Com 2\")."),
        QStringLiteral("path"));
    const QCommandLineOption zero_opt(QStringLiteral("zero"), QStringLiteral("Zero setting."),
                                      QStringLiteral("text"), QStringLiteral("4.00"));
    const QCommandLineOption span_opt(QStringLiteral("span"), QStringLiteral("Span setting."),
                                      QStringLiteral("text"), QStringLiteral("20.0"));
    const QCommandLineOption low_opt(QStringLiteral("low"), QStringLiteral("Low range setting."),
                                     QStringLiteral("text"), QStringLiteral("0.00"));
    const QCommandLineOption high_opt(QStringLiteral("high"), QStringLiteral("High range setting."),
                                      QStringLiteral("text"), QStringLiteral("10.0"));
    const QCommandLineOption period_opt(QStringLiteral("period"),
                                        QStringLiteral("Send a status frame every <ms>."),
                                        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption feed_period_opt(
        QStringLiteral("feed-period"),
        QStringLiteral("While an output is fed, send a status frame every <ms>."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption noise_opt(
        QStringLiteral("noise"),
        QStringLiteral("Send <n> random characters (never \"#\" or \"$\") before every frame."),
        QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption split_opt(
        QStringLiteral("split"), QStringLiteral("Send frames one character at a time, <ms> apart."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption flood_opt(QStringLiteral("flood"),
                                       QStringLiteral("Send every status frame <n> times."),
                                       QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption log_opt(QStringLiteral("log-rx"),
                                     QStringLiteral("Write every byte received to <file>."),
                                     QStringLiteral("file"));
    parser.addOptions({port_opt, link_opt, zero_opt, span_opt, low_opt, high_opt, period_opt,
                       feed_period_opt, noise_opt, split_opt, flood_opt, log_opt});
    parser.process(app);

    auto number = [&parser](const QCommandLineOption &option) {
        bool ok = false;
        const int value = parser.value(option).toInt(&ok);
        if (!ok || value < 0) {
            say(QStringLiteral("--%1 needs a whole number of 0 or more")
                    .arg(option.names().constFirst()));
            std::exit(2);
        }
        return value;
    };

    Instrument instrument;
    instrument.setSettings({parser.value(zero_opt), parser.value(span_opt), parser.value(low_opt),
                            parser.value(high_opt)});
    instrument.setNoise(number(noise_opt));
    instrument.setSplitDelay(number(split_opt));
    instrument.setFlood(number(flood_opt));
    instrument.setFeedPeriod(number(feed_period_opt));
    const int period = number(period_opt);

    QFile rx_log;
    if (parser.isSet(log_opt)) {
        rx_log.setFileName(parser.value(log_opt));
        if (!rx_log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            say(QStringLiteral("cannot write %1: %2").arg(rx_log.fileName(), rx_log.errorString()));
            return 1;
        }
    }

    std::unique_ptr<Line> line;
#ifdef Q_OS_WIN
    // Windows has no pseudo-terminals: the instrument plays on a real port,
    // led to the console's by a null-modem cable or a pair of virtual ports.
    if (!parser.isSet(port_opt) || parser.isSet(link_opt)) {
        say(QStringLiteral("on Windows, give --port COMn, a port that leads to the console's "
                           "(a null-modem cable or a pair of virtual ports); --link is not "
                           "available"));
        return 2;
    }
    line = std::make_unique<PortLine>(parser.value(port_opt));
#else
    if (parser.isSet(port_opt))
        line = std::make_unique<PortLine>(parser.value(port_opt));
    else
        line = std::make_unique<PtyLine>();
#endif
    if (!line->isOpen()) {
        say(QStringLiteral("cannot open the line: %1").arg(line->errorString()));
        return 1;
    }

    QString link;
#ifdef ZELVOR_ENDING_SIGNALS
    // Before the link exists: an ending signal must always find it to remove.
    EndingSignals ending;
    QObject::connect(&ending, &EndingSignals::received, &app, &QCoreApplication::quit);

    if (parser.isSet(link_opt)) {
        link = parser.value(link_opt);
        if (!makeLink(link, line->consolePath()))
            return 1;
    }
#endif

    QObject::connect(line.get(), &Line::received, &app, [&](const QByteArray &bytes) {
        if (rx_log.isOpen())
            rx_log.write(bytes);
        instrument.receive(bytes);
    });
    QObject::connect(line.get(), &Line::trouble, &app,
                     [](const QString &text) { sayAt("!!", text); });
    QObject::connect(&instrument, &Instrument::transmit, line.get(), &Line::write);
    QObject::connect(&instrument, &Instrument::frameReceived, &app,
                     [](const QByteArray &frame) { sayAt("<-", visible(frame)); });
    QObject::connect(&instrument, &Instrument::dropped, &app, [](const QByteArray &bytes) {
        sayAt("<-", QStringLiteral("%1 (outside any frame, ignored)").arg(visible(bytes)));
    });
    QObject::connect(&instrument, &Instrument::sent, &app,
                     [](const QByteArray &bytes) { sayAt("->", visible(bytes)); });
    QObject::connect(&instrument, &Instrument::note, &app,
                     [](const QString &text) { sayAt("  ", text); });

    say(QStringLiteral("console port: %1").arg(line->consolePath()));
    if (!link.isEmpty()) {
        const QRegularExpression com(QStringLiteral("^/dev/com([1-8])$"));
        const QRegularExpressionMatch m = com.match(link);
        say(QStringLiteral("linked: %1 -> %2%3")
                .arg(link, line->consolePath(),
                     m.hasMatch() ? QStringLiteral(" (the console's \"Com %1\")").arg(m.captured(1))
                                  : QString()));
    }
    const protocol::StatusFields &s = instrument.settings();
    say(QStringLiteral("settings: zero \"%1\", span \"%2\", low range \"%3\", high range \"%4\"")
            .arg(s.zero, s.span, s.lowRange, s.highRange));
    say(QStringLiteral("ready; Ctrl+C ends the simulator"));
    instrument.setPeriod(period);

    const int rc = app.exec();
#ifndef Q_OS_WIN
    if (!link.isEmpty()) {
        removeLink(link, line->consolePath());
        say(QStringLiteral("removed %1").arg(link));
    }
#endif
    say(QStringLiteral("simulator ended"));
    return rc;
}
