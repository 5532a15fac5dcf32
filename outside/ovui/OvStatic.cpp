#include "ovui/OvStatic.h"

#include <algorithm>

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
    const QFontMetrics metrics(CaptionFont());
    const int textWidth = metrics.horizontalAdvance(m_caption);
    const int textHeight = metrics.height();
    if (m_orientation == Qt::Horizontal) {
        return {textWidth + kPadding, std::max(textHeight, kMinimumBox)};
    }
    return {std::max(textWidth + kPadding, kMinimumBox), textHeight};
}

void COvStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(CaptionFont());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect box = rect().adjusted(kPadding / 2, 0, -kPadding / 2, 0);
    const QString text = QFontMetrics(painter.font()).elidedText(m_caption, Qt::ElideRight, box.width());
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

void COvStatic::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
    QWidget::changeEvent(event);
}
