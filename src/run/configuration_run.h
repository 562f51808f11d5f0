// SPDX-License-Identifier: MIT
#pragma once

#include "link/device_link.h"
#include "records/run_record.h"
#include "records/sheet_maker.h"

#include <QList>
#include <QObject>

#include <optional>

// One configuration run on the port it is given: Start Config. to its end.
// It writes the frames, keeps the run's record, knows which output is fed (so
// that any ending still sends its stop frame, also one the process does not
// choose), and makes the calibration sheet once the port is closed. It shows
// nothing: the window words what it reports.
class ConfigurationRun : public QObject
{
    Q_OBJECT
public:
    enum class Output { None, Zero, Span };
    // How a run ended, as its record says it.
    enum class Ending { Stop, Exit, WindowClosed, Signal, SessionEnded, PortLost };

    struct Ended
    {
        // Frames that had not left when the port closed; they never will.
        QList<QByteArray> unsent;
        // The output whose stop frame did not reach the instrument: it may
        // still be fed.
        Output mayStillFeed = Output::None;
        // That stop frame was written and never left (else the port was gone).
        bool stopFrameUnsent = false;
    };

    explicit ConfigurationRun(DeviceLink &link, QObject *parent = nullptr);

    // Where the records of the runs started from now on go; unset: the
    // application's data folder as it is at each start; empty: no record.
    void setRecordFolder(const std::optional<QString> &folder) { record_folder = folder; }
    void setIdentity(const RunRecord::Identity &who) { record.setIdentity(who); }

    // Opens "Com N", begins its record and sends "#1$". False, with the link's
    // lastError(), when the port cannot be opened.
    bool start(int comPort);
    bool isOpen() const { return open; }
    Output fed() const { return feeding; }

    void send(protocol::Command command);
    void sendValue(protocol::ValueTarget target, const QString &text)
    {
        link.sendValue(target, text);
    }
    // An action refused while no instrument had answered.
    void refused(const QString &action) { record.refused(action); }

    // A feed still running gets its stop frame first; the port closes once
    // that has left (or about a second has passed), the record ends, and the
    // sheet is begun.
    Ended end(Ending how);

    // For the program's end: the sheets still being made, given until `deadline`.
    SheetMaker::Outcome finishSheets(QDeadlineTimer deadline) { return sheets.finish(deadline); }

    // The stop frame of an output.
    static QByteArray stopFrame(Output output);

signals:
    // The first failure of the run's record, naming the file and the reason.
    void recordFailed(const QString &message);
    // A sheet that was made, or could not be.
    void sheetMade(const runsheet::Result &result);
    // The port failed during the run; the run has ended already.
    void portLost(const PortError &error, const ConfigurationRun::Ended &ended);

private:
    // `leftFed`: the output whose stop frame could not be sent.
    Ended close(Ending how, const QString &portTrouble, Output leftFed);
    void setFeeding(Output output);

    DeviceLink &link;
    RunRecord record;
    SheetMaker sheets;
    std::optional<QString> record_folder;
    bool open = false;
    bool record_failed = false;
    Output feeding = Output::None;
    QList<QByteArray> unsent;
};
