#include "ovui/OvStatic.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QPainter>
#include <QToolBar>

namespace {

constexpr int kPadding = 32;     // added to the text width
constexpr int kMinimumBox = 22;  // smallest height (horizontal) or width (vertical)

}  // namespace

COvStatic::COvStatic(QToolBar* bar) : QWidget(bar), m_bar(bar), m_orientation(bar->orientation()) {
    connect(bar, &QToolBar::orientationChanged, this, [this](Qt::Orientation orientation) {
        m_orientation = orientation;
        updateGeometry();
        update();
    });
}

void COvStatic::SetCaption(const QString& caption) {
    if (caption == m_caption) {
        return;
    }
    m_caption = caption;
    setToolTip(caption);
    updateGeometry();
    update();
}

QFont COvStatic::CaptionFont() const {
    QFont font = m_bar->font();
    font.setWeight(QFont::Bold);
    return font;
}

QSize COvStatic::sizeHint() const {
    // Eliding compares fractional advances: a width rounded down would cut
    // the last letter of a caption that has all the room it asked for.
    const QFont font = CaptionFont();
    const int textWidth = static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(m_caption)));
    const int textHeight = QFontMetrics(font).height();
    if (m_orientation == Qt::Horizontal) {
        return {textWidth + kPadding, std::max(textHeight, kMinimumBox)};
    }
    return {std::max(textWidth + kPadding, kMinimumBox), textHeight};
}

QRect COvStatic::TextBox() const {
    return rect().adjusted(kPadding / 2, 0, -kPadding / 2, 0);
}

QString COvStatic::GetShownText() const {
    return QFontMetrics(CaptionFont()).elidedText(m_caption, Qt::ElideRight, TextBox().width());
}

void COvStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(CaptionFont());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(TextBox(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, GetShownText());
}

void COvStatic::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
    QWidget::changeEvent(event);
}
