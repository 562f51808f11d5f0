// SPDX-License-Identifier: MIT
#pragma once

// What the auxiliary-window tests share: a stand-in main window to lock, the
// three windows by kind, and every way of closing one.

#include "dialogs/auxiliary_windows.h"
#include "dialogs/com_setting.h"
#include "dialogs/information_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <map>
#include <memory>

// A stand-in main window for the lock: controls in mixed enabled states, one
// of them inside an explicitly disabled group.
class LockTarget : public QWidget
{
public:
    LockTarget()
    {
        setObjectName(QStringLiteral("LockTarget"));
        auto *layout = new QVBoxLayout(this);
        addControl(layout, new QPushButton(QStringLiteral("on"), this), "onButton", true);
        addControl(layout, new QPushButton(QStringLiteral("off"), this), "offButton", false);
        addControl(layout, new QLineEdit(this), "onEdit", true);
        addControl(layout, new QLineEdit(this), "offEdit", false);
        auto *group = new QWidget(this);
        addControl(layout, group, "offGroup", false);
        auto *inner = new QPushButton(QStringLiteral("inner"), group);
        inner->setObjectName(QStringLiteral("innerButton"));
    }

    // Each control's own flag relative to the main window.
    std::map<QString, bool> ownFlags() const
    {
        std::map<QString, bool> flags;
        for (QWidget *w : findChildren<QWidget *>())
            flags[w->objectName()] = w->isEnabledTo(this);
        return flags;
    }

    // Whether each control takes input at the moment.
    std::map<QString, bool> effectiveFlags() const
    {
        std::map<QString, bool> flags;
        for (QWidget *w : findChildren<QWidget *>())
            flags[w->objectName()] = w->isEnabled();
        return flags;
    }

private:
    void addControl(QVBoxLayout *layout, QWidget *w, const char *name, bool enabled)
    {
        w->setObjectName(QString::fromLatin1(name));
        w->setEnabled(enabled);
        layout->addWidget(w);
    }
};

// The console's side of the port number: handed to Communication Settings at
// every opening, taken back from its OK.
inline qint16 &consolePort()
{
    static qint16 port = 1;
    return port;
}

inline std::unique_ptr<AuxiliaryWindows> makeWindows(QWidget *mainWindow)
{
    auto windows = std::make_unique<AuxiliaryWindows>(mainWindow);
    QObject::connect(windows.get(), &AuxiliaryWindows::portChosen,
                     [](qint16 port) { consolePort() = port; });
    return windows;
}

enum class Window { ComSetting, CommunicationError, About };
Q_DECLARE_METATYPE(Window)

inline QWidget *show(AuxiliaryWindows &windows, Window which)
{
    switch (which) {
    case Window::ComSetting:
        windows.showComSetting(consolePort());
        return windows.comSetting();
    case Window::CommunicationError:
        windows.showCommunicationError();
        return windows.communicationError();
    case Window::About:
        windows.showAbout();
        return windows.about();
    }
    return nullptr;
}

inline QWidget *instance(const AuxiliaryWindows &windows, Window which)
{
    switch (which) {
    case Window::ComSetting:
        return windows.comSetting();
    case Window::CommunicationError:
        return windows.communicationError();
    case Window::About:
        return windows.about();
    }
    return nullptr;
}

// The ways an operator can close an auxiliary window.
enum class Closing { OkButton, CancelButton, CloseCall, CloseEvent, WindowSystem };
Q_DECLARE_METATYPE(Closing)

inline void closeBy(QWidget *window, Closing how)
{
    switch (how) {
    case Closing::OkButton:
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("OKButton")),
                          Qt::LeftButton);
        break;
    case Closing::CancelButton:
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("CancelButton")),
                          Qt::LeftButton);
        break;
    case Closing::CloseCall:
        window->close();
        break;
    case Closing::CloseEvent: {
        QCloseEvent event;
        QApplication::sendEvent(window, &event);
        break;
    }
    case Closing::WindowSystem:
        // The path of the title bar's close box and of Alt+F4.
        window->windowHandle()->close();
        break;
    }
}

inline QList<QWidget *> visibleTopLevels()
{
    QList<QWidget *> visible;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible())
            visible << w;
    }
    return visible;
}
