#include "dialogs/twips_layout.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <vector>

QFont fontFor(const FontRecord &record)
{
    QFont font;
    const QString family = QString::fromLatin1(record.family);
    QStringList families{family};
    // Both are drawn to the metrics of the one the windows were laid out with.
    if (family == QLatin1String("Times New Roman"))
        families << QStringLiteral("Liberation Serif") << QStringLiteral("Nimbus Roman");
    font.setFamilies(families);
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(record.pointSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

static QWidget *createControl(QWidget *window, const ControlRecord &record)
{
    const QString text = QString::fromLatin1(record.text);
    switch (record.kind) {
    case ControlKind::PushButton: {
        auto *button = new QPushButton(text, window);
        // Outside a dialog class a push button ignores Enter unless it is auto-default;
        // it never becomes a default button here, so Enter only acts while it has the focus.
        button->setAutoDefault(true);
        return button;
    }
    case ControlKind::Label: {
        auto *label = new QLabel(text, window);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ControlKind::DropDownList: {
        auto *combo = new QComboBox(window);
        combo->setEditable(false);
        return combo;
    }
    }
    return nullptr;
}

void buildControls(QWidget *window, const ControlRecord *records, std::size_t count)
{
    std::vector<std::pair<int, QWidget *>> focusChain;
    for (std::size_t i = 0; i < count; ++i) {
        const ControlRecord &record = records[i];
        QWidget *control = createControl(window, record);
        control->setObjectName(QString::fromLatin1(record.name));
        control->setGeometry(record.pixelRect());
        if (record.font.family)
            control->setFont(fontFor(record.font));
        if (record.kind == ControlKind::Label)
            control->lower();
        else
            focusChain.emplace_back(record.tabOrder, control);
    }
    std::stable_sort(focusChain.begin(), focusChain.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusChain.size(); ++i)
        QWidget::setTabOrder(focusChain[i - 1].second, focusChain[i].second);
}
