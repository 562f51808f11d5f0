// SPDX-License-Identifier: MIT
#include "startup/process_guards.h"

#include "ending/emergency_stop.h"
#include "startup/process_guards_platform.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QString>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <optional>
#include <vector>

namespace {

std::atomic<bool> startingUp{false};
bool handlerInstalled = false;
QtMessageHandler previousHandler = nullptr;
std::terminate_handler previousTerminate = nullptr;
int argumentCount = 0;
char **arguments = nullptr;

struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::mutex heldLock;
std::vector<HeldMessage> held;

// A reason made of words known only at the end; runNow() reads it.
char reasonText[256];

const char *reasonFrom(const char *lead, const QString &detail)
{
    const QByteArray bytes = detail.section(u'\n', 0, 0).toUtf8();
    std::snprintf(reasonText, sizeof reasonText, "%s%s", lead, bytes.constData());
    return reasonText;
}

void passOn(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (previousHandler)
        previousHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n",
                     qFormatLogMessage(type, context, text).toLocal8Bit().constData());
}

// Qt names the trouble in the warnings before its fatal message, which itself
// only advises to reinstall the program.
QString startUpTrouble(const QString &fatal)
{
    static const QRegularExpression noDisplay(
        QStringLiteral("could not connect to display ?(.*)$"));
    static const QRegularExpression notFound(
        QStringLiteral("Could not find the Qt platform plugin \"([^\"]*)\""));
    static const QRegularExpression notLoaded(
        QStringLiteral("Could not load the Qt platform plugin \"([^\"]*)\""));
    static const QRegularExpression available(
        QStringLiteral("Available platform plugins are: ([^\n]*?)\\.?\\s*$"));
    std::optional<QString> display;
    QString missingPlugin, failedPlugin, detail;
    {
        const std::lock_guard<std::mutex> lock(heldLock);
        for (const HeldMessage &message : held) {
            if (const auto m = noDisplay.match(message.text); m.hasMatch())
                display = m.captured(1).trimmed();
            else if (const auto m = notFound.match(message.text); m.hasMatch())
                missingPlugin = m.captured(1);
            else if (const auto m = notLoaded.match(message.text); m.hasMatch())
                failedPlugin = m.captured(1);
            else if (detail.isEmpty())
                detail = message.text.section(u'\n', 0, 0);
        }
    }
    if (!missingPlugin.isEmpty())
        return QStringLiteral("no such platform plugin: \"%1\" (there are: %2)")
            .arg(missingPlugin, available.match(fatal).captured(1));
    if (display && display->isEmpty())
        return QStringLiteral("no display: DISPLAY is not set, and the platform plugin \"%1\" "
                              "needs one")
            .arg(failedPlugin);
    if (display)
        return QStringLiteral("no such display: \"%1\" (nothing answers there; check DISPLAY)")
            .arg(*display);
    if (!failedPlugin.isEmpty())
        return QStringLiteral("the platform plugin \"%1\" cannot start%2")
            .arg(failedPlugin, detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    return fatal.section(u'\n', 0, 0)
        .remove(QStringLiteral(" Reinstalling the application may fix this problem."));
}

// Qt reads "-platform NAME" only; "-platform=NAME" passes unseen.
QString platformHint()
{
    for (int i = 1; i < argumentCount; ++i) {
        const QByteArray argument = arguments[i];
        if (argument.startsWith("-platform=") || argument.startsWith("--platform="))
            return QStringLiteral("; Qt takes \"-platform %1\", not \"%2\"")
                .arg(QString::fromLocal8Bit(argument.mid(argument.indexOf('=') + 1)),
                     QString::fromLocal8Bit(argument));
    }
    return {};
}

void onMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (startingUp) {
        if (type == QtFatalMsg) {
            const QString line =
                QStringLiteral("%1: %2%3\n")
                    .arg(QCoreApplication::applicationName(), startUpTrouble(text), platformHint());
            std::fputs(line.toLocal8Bit().constData(), stderr);
            std::fflush(stderr);
            // Nothing is open yet, and the half-made application must not be torn down.
            std::_Exit(1);
        }
        const std::lock_guard<std::mutex> lock(heldLock);
        held.push_back({type, QByteArray(context.category), text});
        return;
    }
    static const QRegularExpression displayGone(
        QStringLiteral("^The (X11|Wayland) connection (broke|experienced a fatal error)"));
    if (type == QtFatalMsg)
        emergency::runNow(reasonFrom("fatal error: ", text));
    else if (type == QtWarningMsg && displayGone.match(text).hasMatch())
        emergency::runNow("display lost"); // the platform plugin ends the process next
    passOn(type, context, text);
    if (type == QtFatalMsg)
        endAfterFatalMessage();
}

void onExit()
{
    // After the program's own ending this finds nothing left to do.
    emergency::runNow("ended unexpectedly");
}

[[noreturn]] void onTerminate()
{
    QString what = QStringLiteral("unknown");
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception &e) {
            what = QString::fromLocal8Bit(e.what());
        } catch (...) {
        }
    }
    emergency::runNow(reasonFrom("uncaught exception: ", what));
    if (previousTerminate)
        previousTerminate();
    std::abort();
}

} // namespace

void guardStartUp(int argc, char *argv[])
{
    argumentCount = argc;
    arguments = argv;
    startingUp = true;
    handlerInstalled = true;
    previousHandler = qInstallMessageHandler(onMessage);
}

void startUpDone()
{
    std::vector<HeldMessage> messages;
    {
        const std::lock_guard<std::mutex> lock(heldLock);
        messages.swap(held);
    }
    startingUp = false;
    if (!handlerInstalled) {
        handlerInstalled = true;
        previousHandler = qInstallMessageHandler(onMessage);
    }
    for (const HeldMessage &message : messages) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        passOn(message.type, context, message.text);
    }

    std::atexit(onExit);
    previousTerminate = std::set_terminate(onTerminate);
    installPlatformGuards(onExit);
}
