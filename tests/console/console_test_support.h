// SPDX-License-Identifier: MIT
#pragma once

// Shared by the console tests: controls by object name, a snapshot of all that
// an action may change, an operator who closes every message box, and the
// run records as a CSV reader sees them.
#include "console/console_state.h"
#include "console/orvane.h"
#include "csv_reader.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

#include <ctime>

namespace consoletest {

inline const char *const ReadingBoxes[] = {"Zero_real", "Span_real", "Low_range_real_txt",
                                           "High_range_real_txt"};

template <typename T = QWidget> T *control(QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

// What the four reading boxes show, in the order of the fields.
inline QStringList readingTexts(QWidget *window)
{
    QStringList texts;
    for (const char *name : ReadingBoxes)
        texts << control<QLineEdit>(window, name)->text();
    return texts;
}

inline QAction *action(QWidget *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

// Idle: Start Config. on, Stop Config. off, every calibration control off.
inline bool isIdle(Orvane *window)
{
    return action(window, "mnuOperation_start_capture")->isEnabled() &&
           !action(window, "mnuOperation_stop_capture")->isEnabled() &&
           window->consoleState() == console::ConsoleState::Idle;
}

inline double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Each control's own Enabled flag (the lock aside), the three run menu items,
// every text box's text.
inline QMap<QString, QString> snapshot(QWidget *window)
{
    QMap<QString, QString> state;
    for (QWidget *w : window->findChildren<QWidget *>(QRegularExpression(".")))
        state[w->objectName()] = w->isEnabledTo(window) ? "on" : "off";
    for (QAction *a : window->findChildren<QAction *>(QRegularExpression(".")))
        state[a->objectName()] = a->isEnabled() ? "on" : "off";
    for (QLineEdit *box : window->findChildren<QLineEdit *>())
        state[box->objectName() + ".text"] = box->text();
    return state;
}

// The visible top-level window of that object name, or nullptr.
inline QWidget *shownWindow(const char *objectName)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->objectName() == QLatin1String(objectName))
            return w;
    }
    return nullptr;
}

// Closes whatever auxiliary window an action opened, as the operator would.
inline void closeAuxiliaryWindows(QWidget *mainWindow)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != mainWindow && w->isVisible() && !qobject_cast<QMessageBox *>(w))
            w->close();
    }
    QApplication::processEvents();
}

// Closes every message box shortly after it shows; remembers its text and
// whether it took input at all.
class MessageCloser : public QObject
{
public:
    MessageCloser()
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts << box->text();
                formats << box->textFormat();
                usable << box->isEnabled();
                box->done(QMessageBox::Ok);
            }
        });
        timer.start(20);
    }
    QStringList texts;
    QList<Qt::TextFormat> formats;
    QList<bool> usable;

private:
    QTimer timer;
};

// Counts the message boxes shown and closes each as soon as it shows, with
// no timer of its own running (the reliability tests measure the CPU).
class MessageBoxCloser : public QObject
{
public:
    int shown = 0;
    QString lastText;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *box = qobject_cast<QMessageBox *>(watched)) {
                ++shown;
                lastText = box->text();
                QPointer<QMessageBox> guard(box);
                QTimer::singleShot(0, box, [guard] {
                    if (guard)
                        guard->done(QMessageBox::Ok);
                });
            }
        }
        return false;
    }
};

// Every record in the folder, oldest name first, each without its header and
// its time column: what happened, in order.
inline QList<CsvRows> recordedRuns(const QString &folder)
{
    QList<CsvRows> runs;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name)) {
        CsvRows events;
        const CsvRows rows = readCsv(dir.filePath(name));
        for (qsizetype i = 1; i < rows.size(); ++i)
            events << rows.at(i).mid(1);
        runs << events;
    }
    return runs;
}

// The last run's events; empty when there is none.
inline CsvRows lastRecordedRun(const QString &folder)
{
    const QList<CsvRows> runs = recordedRuns(folder);
    return runs.isEmpty() ? CsvRows() : runs.last();
}

} // namespace consoletest
