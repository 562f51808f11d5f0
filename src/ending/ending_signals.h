// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (logout, kill, a service manager, Ctrl+C, a
// closed terminal) delivered as a Qt signal on the thread that made this
// object, so that the program can end in order instead of dying on the spot.
// The handler only writes a byte to a socket; everything else happens in the
// event loop. One instance at a time; a signal that was ignored when the
// program started (nohup) stays ignored. Destruction restores what was there.
class EndingSignals : public QObject
{
    Q_OBJECT
public:
    explicit EndingSignals(QObject *parent = nullptr);
    ~EndingSignals() override;

    // False when the socket could not be made: the signals then act as before.
    bool isActive() const { return notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void onWake();

    QSocketNotifier *notifier = nullptr;
};
