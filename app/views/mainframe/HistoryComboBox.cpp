#include "HistoryComboBox.h"

#include <algorithm>

#include <QLineEdit>

#include "platform/escape.h"

COvHistoryComboBox::COvHistoryComboBox(CMainProfile profile, QWidget* parent)
    : QComboBox(parent), m_profile(std::move(profile)) {
    setEditable(true);
    // Runs add their text through AddToHistory alone.
    setInsertPolicy(QComboBox::NoInsert);
    connect(this, &QComboBox::editTextChanged, this, &COvHistoryComboBox::OnEditChanged);
}

void COvHistoryComboBox::SetHistoryOptions(const QString& section, const QString& keyFormat, int maximum) {
    m_section = section;
    m_keyFormat = keyFormat;
    m_maximum = maximum;
}

QString COvHistoryComboBox::KeyName(int position) const {
    QString name = m_keyFormat;
    return name.replace(QStringLiteral("%d"), QString::number(position));
}

void COvHistoryComboBox::AddToHistory(const QString& text) {
    const QString edit = currentText();
    const int found = findText(text, Qt::MatchFixedString);  // without regard to case
    if (found >= 0) {
        removeItem(found);
    } else {
        while (count() > m_maximum - 1 && count() > 0) {
            removeItem(count() - 1);
        }
    }
    insertItem(0, text);
    // Changing the list must not change what the user typed.
    setCurrentIndex(-1);
    setEditText(edit);
}

void COvHistoryComboBox::LoadHistory() {
    for (int i = 1; i <= m_maximum; ++i) {
        const std::u16string value = m_profile.GetString(m_section.toStdU16String(), KeyName(i).toStdU16String());
        if (!value.empty()) {
            addItem(QString::fromStdU16String(ov::EscapeControls(value)));
        }
    }
    setCurrentIndex(-1);
}

bool COvHistoryComboBox::SaveHistory() {
    const std::u16string section = m_section.toStdU16String();
    bool saved = m_profile.DeleteSection(section);
    for (int i = 0; i < count(); ++i) {
        const QString text = itemText(i);
        if (!text.isEmpty()) {
            saved = m_profile.WriteString(section, KeyName(i + 1).toStdU16String(), text.toStdU16String()) && saved;
        }
    }
    return saved;
}

void COvHistoryComboBox::OnEditChanged(const QString& text) {
    if (!m_linked) {
        return;
    }
    m_hasText = !text.isEmpty();
    emit hasTextChanged(m_hasText);
}

void COvHistoryComboBox::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    if (lineEdit() != nullptr && isEnabled()) {
        lineEdit()->setFocus();
    }
}

void COvHistoryComboBox::moveEvent(QMoveEvent* event) {
    QComboBox::moveEvent(event);
    if (lineEdit() != nullptr && isEnabled()) {
        lineEdit()->setFocus();
    }
}

void COvHistoryComboBox::SetPreferredWidth(int width) {
    if (width != m_preferredWidth) {
        m_preferredWidth = width;
        updateGeometry();
    }
}

QSize COvHistoryComboBox::sizeHint() const {
    QSize hint = QComboBox::sizeHint();
    if (m_preferredWidth > 0) {
        hint.setWidth(std::max(m_preferredWidth, minimumSizeHint().width()));
    }
    return hint;
}
