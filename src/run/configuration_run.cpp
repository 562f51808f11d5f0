// SPDX-License-Identifier: MIT
#include "run/configuration_run.h"

#include "ending/emergency_stop.h"

#include <iterator>
#include <utility>

namespace {

using Output = ConfigurationRun::Output;
using protocol::Command;

// Each output with the frames that start and stop feeding it.
struct Feed
{
    Output output;
    Command start;
    Command stop;
};
constexpr Feed Feeds[] = {
    {Output::Zero, Command::FeedZero, Command::StopFeedZero},
    {Output::Span, Command::FeedSpan, Command::StopFeedSpan},
};

const Feed *feedOf(Output output)
{
    for (const Feed &feed : Feeds) {
        if (feed.output == output)
            return &feed;
    }
    return nullptr;
}

// The record's own word for an ending, in the order of ConfigurationRun::Ending;
// a lost port's trouble follows its word.
QString recordedAs(ConfigurationRun::Ending how, const QString &portTrouble)
{
    static constexpr const char *Words[] = {"stop",   "exit",          "window closed",
                                            "signal", "session ended", "port lost: "};
    static_assert(std::size(Words) == std::size_t(ConfigurationRun::Ending::PortLost) + 1,
                  "a word for every ending");
    return QString::fromLatin1(Words[static_cast<int>(how)]) + portTrouble;
}

} // namespace

ConfigurationRun::ConfigurationRun(DeviceLink &link, QObject *parent)
    : QObject(parent), link(link), record(QString())
{
    connect(&link, &DeviceLink::frameWritten, this,
            [this](const QByteArray &frame) { record.sent(frame); });
    connect(&link, &DeviceLink::frameUnsent, this, [this](const QByteArray &frame) {
        unsent << frame;
        record.unsent(frame);
    });
    connect(&link, &DeviceLink::frameEnded, this,
            [this](const protocol::StatusFields &fields) { record.reading(fields); });
    connect(&record, &RunRecord::failed, this, [this](const QString &message) {
        record_failed = true;
        emit recordFailed(message);
    });
    connect(&sheets, &SheetMaker::made, this, &ConfigurationRun::sheetMade);
    // Queued: whoever is told must not run its own event loop inside the
    // serial port's error notification.
    connect(
        &link, &DeviceLink::portFailed, this,
        [this](const PortError &error) {
            if (!open)
                return; // ended already
            // No stop frame could go: whatever was fed may still be.
            const Ended ended = close(Ending::PortLost, error.description, feeding);
            emit portLost(error, ended);
        },
        Qt::QueuedConnection);
}

bool ConfigurationRun::start(int comPort)
{
    if (!link.open(qint16(comPort)))
        return false;
    open = true;
    unsent.clear();
    setFeeding(Output::None);
    // Resolved now, not at construction: the application names its data
    // folder once it is running.
    const QString folder = record_folder.value_or(RunRecord::defaultFolder());
    record_failed = false;
    // A folder set empty keeps no record; the system naming none is reported.
    if (!record_folder || !folder.isEmpty()) {
        record.setFolder(folder);
        record.begin(comPort, link.port().openedPath());
    }
    send(Command::StartConfig);
    return true;
}

void ConfigurationRun::send(Command command)
{
    link.send(command);
    for (const Feed &feed : Feeds) {
        if (command == feed.start)
            setFeeding(feed.output);
        else if (command == feed.stop)
            setFeeding(Output::None);
    }
}

ConfigurationRun::Ended ConfigurationRun::end(Ending how)
{
    if (!open)
        return {};
    // The stop frame stays registered for an ending without the closing steps
    // until the port has closed: it may still be in the port's buffer.
    if (const Feed *feed = feedOf(feeding))
        link.send(feed->stop);
    return close(how, QString(), Output::None);
}

ConfigurationRun::Ended ConfigurationRun::close(Ending how, const QString &portTrouble,
                                                Output leftFed)
{
    link.close();
    open = false;
    setFeeding(Output::None);
    const bool recording = record.isRecording();
    record.end(recordedAs(how, portTrouble));
    if (recording && !record_failed)
        sheets.make(record.filePath());

    Ended ended;
    ended.unsent = std::exchange(unsent, {});
    ended.mayStillFeed = leftFed;
    // The last stop frame that never left says which output may still be fed.
    for (auto it = ended.unsent.crbegin(); it != ended.unsent.crend() && !ended.stopFrameUnsent;
         ++it) {
        for (const Feed &feed : Feeds) {
            if (protocol::commandFrame(feed.stop) == *it) {
                ended.mayStillFeed = feed.output;
                ended.stopFrameUnsent = true;
            }
        }
    }
    return ended;
}

void ConfigurationRun::setFeeding(Output output)
{
    feeding = output;
    // What must still reach the instrument if the process ends without its
    // closing steps.
    emergency::setStopFrame(stopFrame(output));
}

QByteArray ConfigurationRun::stopFrame(Output output)
{
    const Feed *feed = feedOf(output);
    return feed ? protocol::commandFrame(feed->stop) : QByteArray();
}
