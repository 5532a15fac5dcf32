#pragma once
// The host entry: an editable combo box whose list is the history of the
// texts that started a run, newest first, kept in a profile section.
#include <string>

#include <QComboBox>

#include "MainProfile.h"

class COvHistoryComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit COvHistoryComboBox(CMainProfile profile, QWidget* parent = nullptr);

    // Where and how many entries are kept; keyFormat holds one %d for the
    // 1-based position.
    void SetHistoryOptions(const QString& section, const QString& keyFormat, int maximum);
    // Moves text to the top: an entry equal without regard to case goes,
    // otherwise the oldest go while the list is full.
    virtual void AddToHistory(const QString& text);
    // Appends the section's non-empty values in position order.
    virtual void LoadHistory();
    // Rewrites the section from the list, newest first; false when the
    // settings could not be written.
    virtual bool SaveHistory();

    // When linked, edits keep HasText current and emit hasTextChanged.
    void SetLinked(bool linked) noexcept { m_linked = linked; }
    // The edit text is not empty (blanks count).
    bool HasText() const noexcept { return m_hasText; }

    // The width the entry asks for (0: its contents' width). It is no
    // minimum, so that the window can still be made smaller in one step.
    void SetPreferredWidth(int width);
    QSize sizeHint() const override;

signals:
    void hasTextChanged(bool hasText);

protected:
    // Every layout of the entry gives its edit the keyboard focus.
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void OnEditChanged(const QString& text);
    QString KeyName(int position) const;

    CMainProfile m_profile;
    bool m_linked = false;
    bool m_hasText = false;
    int m_maximum = 4;
    int m_preferredWidth = 0;
    QString m_section = QStringLiteral("Settings\\History");
    QString m_keyFormat = QStringLiteral("Item%d");
};
