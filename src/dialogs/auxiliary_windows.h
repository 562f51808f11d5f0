#pragma once

#include <memory>

class QWidget;
class ComSetting;
class Dialog;
class FrmAbout;

// The three auxiliary windows of the main window: each a single instance,
// created on its first showing and kept; shown without blocking and without an
// owner; each locks the main window while it is open.
class AuxiliaryWindows
{
public:
    explicit AuxiliaryWindows(QWidget *mainWindow);
    ~AuxiliaryWindows();

    void showComSetting();
    void showCommunicationError();
    void showAbout();

    // Null until first shown.
    ComSetting *comSetting() const { return com_setting.get(); }
    Dialog *communicationError() const { return communication_error.get(); }
    FrmAbout *about() const { return about_box.get(); }

private:
    QWidget *main_window;
    std::unique_ptr<ComSetting> com_setting;
    std::unique_ptr<Dialog> communication_error;
    std::unique_ptr<FrmAbout> about_box;
};
