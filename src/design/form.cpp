// SPDX-License-Identifier: MIT
#include "design/form.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <utility>
#include <vector>

namespace design {

QSize clientSize(const FormWindow &window)
{
    return QSize(twipsToPixels(window.clientWidth), twipsToPixels(window.clientHeight));
}

namespace {

QWidget *createControl(QWidget *client, const FormControl &row)
{
    const QString text = QString::fromUtf8(row.text);
    switch (row.kind) {
    case ControlKind::Label: {
        auto *label = new QLabel(text, client);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (row.background != SystemColor::Default) {
            label->setAutoFillBackground(true);
            label->setBackgroundRole(paletteRole(row.background));
        }
        return label;
    }
    case ControlKind::TextBox: {
        auto *box = new QLineEdit(client);
        if (row.maxLength > 0)
            box->setMaxLength(row.maxLength);
        return box;
    }
    case ControlKind::CommandButton: {
        auto *button = new QPushButton(text, client);
        // Enter presses the focused button, as on the platform the design came
        // from. A dialog would make the next auto-default button stand in for
        // Enter while another control has the focus, so there the window
        // presses the focused one itself.
        button->setAutoDefault(!qobject_cast<QDialog *>(client->window()));
        if (row.index >= 0)
            button->setProperty(ControlArrayIndex, row.index);
        return button;
    }
    case ControlKind::DropDownList:
        return new QComboBox(client); // not editable: a list to pick from
    }
    return nullptr;
}

} // namespace

void buildForm(QWidget *client, const FormControl *controls, std::size_t count)
{
    std::vector<std::pair<int, QWidget *>> focusChain;
    for (std::size_t i = 0; i < count; ++i) {
        const FormControl &row = controls[i];
        QWidget *control = createControl(client, row);
        control->setObjectName(QString::fromLatin1(row.name));
        control->setGeometry(twipsToPixels(row.rect));
        if (row.font.source == ControlFont::Role)
            control->setFont(fontFor(row.font.role));
        else if (row.font.source == ControlFont::Named)
            control->setFont(namedFont(row.font.family, row.font.pointSize));
        if (row.accessibleName)
            control->setAccessibleName(QString::fromUtf8(row.accessibleName));
        if (row.kind == ControlKind::Label)
            control->lower();
        else
            focusChain.emplace_back(row.tabOrder, control);
    }
    applyColors(client, controls, count);
    std::stable_sort(focusChain.begin(), focusChain.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusChain.size(); ++i)
        QWidget::setTabOrder(focusChain[i - 1].second, focusChain[i].second);
}

// A disabled line edit draws its text in the style's grey, faint on a
// face-coloured box, so the text colour is set for every state.
void applyColors(QWidget *client, const FormControl *controls, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const FormControl &row = controls[i];
        if (row.kind != ControlKind::TextBox || row.background == SystemColor::Default)
            continue;
        auto *box =
            client->findChild<QLineEdit *>(QLatin1String(row.name), Qt::FindDirectChildrenOnly);
        const QPalette inherited = client->window()->palette();
        QPalette boxPalette = box->palette();
        const QColor background = systemColor(row.background, inherited);
        const QColor normalText = inherited.color(QPalette::Active, QPalette::Text);
        const QColor designedText = row.foreground == SystemColor::Default
                                        ? normalText
                                        : systemColor(row.foreground, inherited);
        boxPalette.setColor(QPalette::Base, background);
        boxPalette.setColor(QPalette::Text, legibleTextColor(designedText, background, normalText));
        box->setPalette(boxPalette);
    }
}

} // namespace design
