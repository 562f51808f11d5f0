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
    return layout::fontFor(layout::FontRole::Dialog);
}

QFont fontFor(const DialogFont &font)
{
    const QString family = QString::fromLatin1(font.family);
    QStringList families{family};
    // Same advance widths as Times New Roman, so the text fits its box as designed.
    if (family == QLatin1String("Times New Roman"))
        families << QStringLiteral("Liberation Serif") << QStringLiteral("Tinos")
                 << QStringLiteral("Nimbus Roman");
    QFont result;
    result.setFamilies(families);
    result.setStyleHint(QFont::Serif);
    result.setPointSizeF(font.pointSize);
    result.setWeight(QFont::Normal);
    result.setItalic(false);
    result.setUnderline(false);
    return result;
}

static QWidget *createControl(QWidget *window, const DialogControl &control)
{
    const QString text = QString::fromLatin1(control.text);
    switch (control.kind) {
    case DialogControlKind::PushButton: {
        auto *button = new QPushButton(text, window);
        // Outside a QDialog a push button ignores Enter unless it is auto-default.
        // No button is the window's default: Enter acts only on the focused one.
        button->setAutoDefault(true);
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
        widget->setGeometry(layout::twipsToPixels(control.rect));
        if (control.font.family)
            widget->setFont(fontFor(control.font));
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
