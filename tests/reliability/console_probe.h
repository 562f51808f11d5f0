// SPDX-License-Identifier: MIT
#pragma once

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <ctime>

// What the reliability tests read from outside the main window: its controls
// by object name, the process's CPU time, its open descriptors, and every
// message box, each closed from a timer as an operator would close it.
namespace reliability {

inline const char *const CalibrationControls[] = {
    "Feed_Zero",      "Stop_Feed_zero",  "Save_cmd",       "Feed_span",
    "Stop_Feed_span", "Low_range_cmd",   "Low_range_text", "Enter_L",
    "High_range_cmd", "High_range_text", "Enter_H",
};

inline const char *const ReadingBoxes[] = {"Zero_real", "Span_real", "Low_range_real_txt",
                                           "High_range_real_txt"};

inline QAction *action(QWidget *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

// Idle: Start Config. on, Stop Config. off, every calibration control off.
inline bool isIdle(QWidget *window)
{
    QAction *start = action(window, "mnuOperation_start_capture");
    QAction *stop = action(window, "mnuOperation_stop_capture");
    if (!start || !stop || !start->isEnabled() || stop->isEnabled())
        return false;
    for (const char *name : CalibrationControls) {
        auto *w = window->findChild<QWidget *>(QLatin1String(name));
        if (!w || w->isEnabledTo(window))
            return false;
    }
    return true;
}

inline QStringList readings(QWidget *window)
{
    QStringList out;
    for (const char *name : ReadingBoxes)
        out << window->findChild<QLineEdit *>(QLatin1String(name))->text();
    return out;
}

inline double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Counts the message boxes shown and closes each from a timer.
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

} // namespace reliability
