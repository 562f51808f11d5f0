// SPDX-License-Identifier: MIT
#include "dialogs/dialog_layout.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace dialogs {

QFont dialogFont()
{
    return design::fontFor(design::FontRole::Dialog);
}

static QWidget *createControl(QWidget *window, const DialogControl &control)
{
    const QString text = QString::fromLatin1(control.text);
    switch (control.kind) {
    case DialogControlKind::PushButton: {
        auto *button = new QPushButton(text, window);
        // No button is the window's default, not even for a moment: a dialog
        // would make the next auto-default button stand in for Enter while
        // the port list has the focus. The window presses the focused one.
        button->setAutoDefault(false);
        return button;
    }
    case DialogControlKind::Label: {
        auto *label = new QLabel(text, window);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case DialogControlKind::DropDownList: {
        auto *combo = new QComboBox(window);
        combo->setEditable(false);
        return combo;
    }
    }
    return nullptr;
}

void buildControls(QWidget *window, const DialogControl *controls, std::size_t count)
{
    std::vector<std::pair<int, QWidget *>> focusChain;
    for (std::size_t i = 0; i < count; ++i) {
        const DialogControl &control = controls[i];
        QWidget *widget = createControl(window, control);
        widget->setObjectName(QString::fromLatin1(control.name));
        widget->setGeometry(design::twipsToPixels(control.rect));
        if (control.font.family)
            widget->setFont(design::namedFont(control.font.family, control.font.pointSize));
        if (control.kind == DialogControlKind::Label)
            widget->lower();
        else
            focusChain.emplace_back(control.tabOrder, widget);
    }
    std::stable_sort(focusChain.begin(), focusChain.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusChain.size(); ++i)
        QWidget::setTabOrder(focusChain[i - 1].second, focusChain[i].second);
}

} // namespace dialogs
