// SPDX-License-Identifier: MIT
#include "console/main_window_form.h"

#include "console/main_window_layout.h"
#include "console/run_words.h"

#include <QCoreApplication>
#include <QEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QValidator>

#include <algorithm>
#include <cstdio>

namespace {

// What an entry box takes: no "#" or "$" (they would cut the frame short), no
// control characters, nothing without a single-byte (Latin-1) form. Typing,
// pasting, dropping and input methods all pass through it; a paste holding
// such a character is refused as a whole, the way a fifth character is.
class EntryValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &) const override
    {
        const bool sendable =
            std::all_of(input.cbegin(), input.cend(), protocol::isSendableValueChar);
        return sendable ? Acceptable : Invalid;
    }
};

// A held key presses once: Return or Enter held on a button would otherwise
// walk the focus through the instrument's commands, one per repeat.
class HeldKeyFilter : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool presses = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                                 key->key() == Qt::Key_Space || key->key() == Qt::Key_Select;
            if (presses && key->isAutoRepeat())
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// The frame is centred where its size is known (after the window manager has
// framed the window); until then the window itself is. The designed colours
// are applied again whenever the palette changes.
class WindowKeeper : public QObject
{
public:
    explicit WindowKeeper(QMainWindow *window) : QObject(window), window(window) {}

    void centre()
    {
        if (const QScreen *screen = window->screen())
            window->move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter,
                                             window->frameGeometry().size(),
                                             screen->availableGeometry())
                             .topLeft());
    }

    // Installed on the window alone.
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !first_shown) {
            first_shown = true;
            centre_when_framed = true;
            // A window manager that never frames the window, or a move by the
            // operator after that, must not bring it back to the centre.
            QTimer::singleShot(FramingWaitMs, this, [this] { centre_when_framed = false; });
        } else if (event->type() == QEvent::Move && centre_when_framed &&
                   window->frameGeometry().size() != window->size()) {
            centre_when_framed = false;
            centre();
        } else if (event->type() == QEvent::PaletteChange && window->centralWidget()) {
            // The reading boxes: background system colour 10, Zero_real's text
            // system colour 5, legible also while they are disabled.
            design::applyColors(window->centralWidget(), layout::MainWindowControls.data(),
                                layout::MainWindowControls.size());
        }
        return false;
    }

private:
    // How long after the first showing the window manager may take to frame
    // the window (its title bar is what moves the window off the centre).
    static constexpr int FramingWaitMs = 2000;
    QMainWindow *window;
    bool first_shown = false;
    bool centre_when_framed = false;
};

QIcon programIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/zelvor-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/zelvor-32.png"), QSize(32, 32));
    // PNG only, though Qt asks every image plugin what a file is anyway (as
    // the menu bar's own style icon does too). The desktop takes the scalable
    // one from the installed icon theme.
    return icon;
}

template <typename T> T *named(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

} // namespace

MainWindowForm buildMainWindowForm(QMainWindow *window)
{
    window->setObjectName(QStringLiteral("Orvane"));
    window->setWindowTitle(QString::fromUtf8(layout::MainWindow.title));
    // A fixed frame with the window menu and the close box, no minimise and
    // no maximise box (on X11 these become Motif hints without the minimise
    // and maximise functions, and min = max size hints). The design also has
    // no task-bar button; Qt offers that only through Qt::Tool, a window type
    // that desktops may hide when the program is not active and that does not
    // end the program when closed, so the main window keeps its button.
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window->setWindowIcon(programIcon());

    auto *client = new QWidget(window);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(design::clientSize(layout::MainWindow));
    client->setAutoFillBackground(true);
    client->setBackgroundRole(design::paletteRole(layout::MainWindow.background));
    window->setCentralWidget(client);

    MainWindowForm form;
    design::buildForm(client, layout::MainWindowControls.data(), layout::MainWindowControls.size());
    auto *heldKeys = new HeldKeyFilter(window);
    for (int i = 0; i < console::CalibrationControlCount; ++i) {
        QWidget *control = named<QWidget>(client, layout::CalibrationControlNames[i]);
        form.calibration[i] = control;
        if (auto *box = qobject_cast<QLineEdit *>(control))
            box->setValidator(new EntryValidator(box));
        control->installEventFilter(heldKeys);
    }
    for (std::size_t i = 0; i < form.readings.size(); ++i)
        form.readings[i] = named<QLineEdit>(client, layout::ReadingBoxNames[i]);

    QMenu *menu = nullptr;
    for (const layout::MenuItemSpec &item : layout::MainWindowMenu) {
        if (!menu || menu->objectName() != QLatin1String(item.menuName)) {
            menu = window->menuBar()->addMenu(QString::fromUtf8(item.menuCaption));
            menu->setObjectName(QLatin1String(item.menuName));
        }
        QAction *action = menu->addAction(QString::fromUtf8(item.itemCaption));
        action->setObjectName(QLatin1String(item.itemName));
    }
    const auto menuAction = [window](const char *name) {
        return window->menuBar()->findChild<QAction *>(QLatin1String(name));
    };
    form.mnuFile_Exit = menuAction("mnuFile_Exit");
    form.mnuSetting_com_setting = menuAction("mnuSetting_com_setting");
    form.mnuOperation_start_capture = menuAction("mnuOperation_start_capture");
    form.mnuOperation_stop_capture = menuAction("mnuOperation_stop_capture");
    form.About_Menu = menuAction("About_Menu");

    // The frame follows the client area plus the menu bar, and cannot be resized.
    window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    window->adjustSize();
    auto *keeper = new WindowKeeper(window);
    window->installEventFilter(keeper);
    keeper->centre();
    return form;
}

QMessageBox *showMessage(QWidget *window, QMessageBox::Icon icon, const QString &text,
                         QWidget *owner)
{
    auto *box = new QMessageBox(icon, window->windowTitle(), QString(), QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
    return box;
}

void showMessageLater(QWidget *window, QMessageBox::Icon icon, const QString &text)
{
    if (text.isEmpty())
        return;
    QMetaObject::invokeMethod(
        window,
        [window, icon, text = RunWords::shortenedInTheMiddle(text)] {
            // While an auxiliary window locks the main window, a message owned
            // by it would be disabled too and could not be dismissed.
            showMessage(window, icon, text, window->isEnabled() ? window : nullptr);
        },
        Qt::QueuedConnection);
}

void printOnStandardError(const QString &text)
{
    // One line: each paragraph a sentence of it.
    QStringList paragraphs = text.split(QStringLiteral("\n\n"));
    for (QString &paragraph : paragraphs) {
        if (!paragraph.isEmpty() && !QStringLiteral(".:!?").contains(paragraph.back()))
            paragraph += u'.';
    }
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(paragraphs.join(u' ')));
}
