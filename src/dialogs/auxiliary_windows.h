// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QWidget;
class ComSetting;
class InformationWindow;

// The three auxiliary windows of the main window: each a single instance,
// created on its first showing and kept; shown without blocking and without an
// owner; each locks the main window while it is open. They hold no program
// state: the port is handed in and comes back through portChosen().
class AuxiliaryWindows : public QObject
{
    Q_OBJECT
public:
    explicit AuxiliaryWindows(QWidget *mainWindow);
    ~AuxiliaryWindows() override;

    // currentPort is selected in the list (none outside 1..8); descriptions,
    // one per entry, say where "Com 1".."Com 8" lead.
    void showComSetting(qint16 currentPort, const QStringList &descriptions = {});
    void showCommunicationError();
    void showAbout();

    // Null until first shown.
    ComSetting *comSetting() const { return com_setting.get(); }
    InformationWindow *communicationError() const { return communication_error.get(); }
    InformationWindow *about() const { return about_box.get(); }

signals:
    // OK in Communication Settings with a port selected.
    void portChosen(qint16 port);

private:
    QWidget *main_window;
    std::unique_ptr<ComSetting> com_setting;
    std::unique_ptr<InformationWindow> communication_error;
    std::unique_ptr<InformationWindow> about_box;
};
