#pragma once
// A caption-only toolbar control: draws its caption in the bold version of the
// toolbar's font. Measured from that font: on a horizontal bar it is text
// width + 32 wide and max(text height, 22) high; on a vertical bar
// max(text width + 32, 22) wide and text height high. The text width is
// rounded up, so that a control of that size shows the caption whole.
#include <QString>
#include <QWidget>

class QToolBar;

class COvStatic : public QWidget {
    Q_OBJECT

public:
    // A control for bar (which also gives its font and orientation).
    explicit COvStatic(QToolBar* bar);

    void SetCaption(const QString& caption);
    const QString& GetCaption() const noexcept { return m_caption; }
    // The caption as drawn in the control's present width (elided if narrower).
    QString GetShownText() const;
    // The size from the rules above for the bar's current orientation.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QFont CaptionFont() const;
    // Where the text goes: the control less the padding.
    QRect TextBox() const;

    QToolBar* m_bar;
    Qt::Orientation m_orientation = Qt::Horizontal;
    QString m_caption;
};
