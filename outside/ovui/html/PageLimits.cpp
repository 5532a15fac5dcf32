#include "PageLimits.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QList>
#include <QSet>
#include <QString>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFormat>
#include <QTextFrame>
#include <QTextLength>
#include <QTextTable>

namespace {

bool IsSpace(QChar c) noexcept {
    return c.isSpace();
}

bool IsOneOf(QStringView name, std::initializer_list<QStringView> names) noexcept {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Reads markup the way the view's parser does: a '<' always opens a tag, a
// tag name or attribute value may be quoted, and a tag ends at the next '>'
// after its attributes; comments end at "-->", other declarations at '>'.
class CMarkupScan {
public:
    explicit CMarkupScan(QStringView html) : m_html(html) {}

    OV_PAGE_CHECK Run() {
        while (m_pos < m_html.size()) {
            const qsizetype open = m_html.indexOf(u'<', m_pos);
            const qsizetype textEnd = open < 0 ? m_html.size() : open;
            if (m_inStyle) {
                // A style sheet is the text right after its tag. Every
                // selector is matched against every element: each rule has
                // one '{', each further selector of a rule a ','.
                const QStringView sheet = m_html.sliced(m_pos, textEnd - m_pos);
                m_styleChars += sheet.size();
                m_selectors += sheet.count(u'{') + sheet.count(u',');
                m_inStyle = false;
                if (m_styleChars > kMaxPageStyleChars || m_selectors > kMaxPageSelectors) {
                    return PAGE_TOO_MUCH_STYLE;
                }
            }
            if (open < 0) {
                break;
            }
            m_pos = open + 1;
            if (const OV_PAGE_CHECK result = Tag(); result != PAGE_FITS) {
                return result;
            }
        }
        return PAGE_FITS;
    }

private:
    OV_PAGE_CHECK Tag() {
        SkipSpace();
        if (Next(u'!')) {
            ++m_pos;
            const bool comment = m_html.sliced(m_pos).startsWith(u"--");
            const qsizetype end = comment ? m_html.indexOf(u"-->", m_pos + 2) : m_html.indexOf(u'>', m_pos);
            m_pos = end < 0 ? m_html.size() : end + (comment ? 3 : 1);
            return PAGE_FITS;
        }
        if (Next(u'/')) {
            ++m_pos;
            const QString name = Word().toLower().trimmed();
            SkipPast(u'>');
            Close(name);
            return PAGE_FITS;
        }
        const QString name = Word().toLower();
        SkipAttributes();
        bool selfClosed = false;
        while (m_pos < m_html.size() && m_html[m_pos] != u'>') {
            selfClosed |= m_html[m_pos++] == u'/';
        }
        ++m_pos;
        return Open(name, selfClosed);
    }

    OV_PAGE_CHECK Open(const QString& name, bool selfClosed) {
        if (++m_elements > kMaxPageElements) {
            return PAGE_TOO_MANY_ELEMENTS;
        }
        if (name == QStringView(u"img") && ++m_pictures > kMaxPagePictures) {
            return PAGE_TOO_MANY_PICTURES;
        }
        m_inStyle = name == QStringView(u"style") && !selfClosed;
        // Elements that never hold others.
        if (selfClosed || IsOneOf(name, {u"br", u"hr", u"img", u"meta"})) {
            return PAGE_FITS;
        }
        if (name == QStringView(u"td") || name == QStringView(u"th")) {
            if (!InTable()) {
                OpenImplicit({u"table", u"tr"});
            }
            PopUntil({u"tr", u"table", u"tbody", u"thead", u"tfoot"});
        } else if (name == QStringView(u"tr")) {
            if (!InTable()) {
                OpenImplicit({u"table"});
            }
            PopUntil({u"table", u"tbody", u"thead", u"tfoot"});
        } else if (!m_open.empty() && m_open.back() == name && IsOneOf(name, {u"p", u"li", u"dt", u"dd"})) {
            m_open.pop_back();  // a paragraph or item ends its open sibling
        }
        m_open.push_back(name);
        return m_open.size() > static_cast<std::size_t>(kMaxPageDepth) ? PAGE_TOO_DEEP : PAGE_FITS;
    }

    void Close(const QString& name) {
        // Without a name the parser closes nothing.
        if (name.isEmpty()) {
            return;
        }
        const auto match = std::find(m_open.rbegin(), m_open.rend(), name);
        if (match != m_open.rend()) {
            m_open.erase(std::prev(match.base()), m_open.end());
        }
    }

    bool InTable() const { return std::find(m_open.begin(), m_open.end(), QStringView(u"table")) != m_open.end(); }

    void OpenImplicit(std::initializer_list<QStringView> names) {
        for (QStringView name : names) {
            m_open.push_back(name.toString());
        }
    }

    void PopUntil(std::initializer_list<QStringView> names) {
        while (!m_open.empty() && !IsOneOf(m_open.back(), names)) {
            m_open.pop_back();
        }
    }

    bool Next(QChar c) const noexcept { return m_pos < m_html.size() && m_html[m_pos] == c; }

    void SkipSpace() noexcept {
        while (m_pos < m_html.size() && IsSpace(m_html[m_pos])) {
            ++m_pos;
        }
    }

    void SkipPast(QChar c) noexcept {
        const qsizetype end = m_html.indexOf(c, m_pos);
        m_pos = end < 0 ? m_html.size() : end + 1;
    }

    // A tag name, attribute name or value: quoted, or up to a blank or one of "<=>" or "/>".
    QString Word() {
        if (Next(u'"') || Next(u'\'')) {
            const QChar quote = m_html[m_pos++];
            const qsizetype end = m_html.indexOf(quote, m_pos);
            const qsizetype stop = end < 0 ? m_html.size() : end;
            const QString word = m_html.sliced(m_pos, stop - m_pos).toString();
            m_pos = end < 0 ? stop : end + 1;
            return word;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_html.size()) {
            const QChar c = m_html[m_pos];
            if (c == u'>' || c == u'<' || c == u'=' || IsSpace(c) ||
                (c == u'/' && m_pos + 1 < m_html.size() && m_html[m_pos + 1] == u'>')) {
                break;
            }
            ++m_pos;
        }
        return m_html.sliced(start, m_pos - start).toString();
    }

    void SkipAttributes() {
        while (m_pos < m_html.size()) {
            SkipSpace();
            if (Next(u'>') || Next(u'/') || Word().isEmpty()) {
                return;
            }
            SkipSpace();
            if (Next(u'=')) {
                ++m_pos;
                SkipSpace();
                Word();
            }
        }
    }

    QStringView m_html;
    qsizetype m_pos = 0;
    std::vector<QString> m_open;  // open elements, outermost first
    int m_elements = 0;
    int m_pictures = 0;
    qsizetype m_styleChars = 0;
    qsizetype m_selectors = 0;
    bool m_inStyle = false;
};

// Tables around a block, or around a table and itself.
int TableDepth(const QTextFrame* frame) {
    int depth = 0;
    for (; frame != nullptr; frame = frame->parentFrame()) {
        depth += qobject_cast<const QTextTable*>(frame) != nullptr ? 1 : 0;
    }
    return depth;
}

// Tables nested in frame, at most kMaxPageTableDepth deep, adding the weight of their cells.
OV_PAGE_CHECK CheckTables(const QTextFrame& frame, qint64& weight) {
    for (const QTextFrame* child : frame.childFrames()) {
        if (const auto* table = qobject_cast<const QTextTable*>(child)) {
            const int depth = TableDepth(table);
            if (depth > kMaxPageTableDepth) {
                return PAGE_TABLES_TOO_DEEP;
            }
            weight += qint64{table->rows()} * table->columns() * kPageCellWeight << (depth - 1);
            if (weight > kMaxPageWeight) {
                return PAGE_TOO_HEAVY;
            }
        }
        if (const OV_PAGE_CHECK result = CheckTables(*child, weight); result != PAGE_FITS) {
            return result;
        }
    }
    return PAGE_FITS;
}

// Longest stretch of text between two places where a line may break.
qsizetype LongestRun(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    qsizetype longest = 0;
    qsizetype last = 0;
    for (qsizetype at = finder.toNextBoundary(); at >= 0; at = finder.toNextBoundary()) {
        longest = std::max(longest, at - last);
        last = at;
    }
    return std::max(longest, text.size() - last);
}

// A length from 0 to limit. Negative ones are refused too: a picture of
// negative width in a table cell never finishes its layout.
bool WithinLength(double value, double limit) noexcept {
    return value >= 0 && value <= limit;  // false for NaN too
}

// A picture with a width and no height sends the table layout into a loop.
bool IsHalfSizedPicture(const QTextFormat& format) {
    return format.isImageFormat() &&
           format.hasProperty(QTextFormat::ImageWidth) != format.hasProperty(QTextFormat::ImageHeight);
}

bool FormatFits(const QTextFormat& format) {
    const QMap<int, QVariant> properties = format.properties();
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        const QVariant& value = it.value();
        switch (it.key()) {
            case QTextFormat::ObjectIndex:
            case QTextFormat::ListStyle:
                continue;  // an index and a kind (negative for the list marks), no size
            case QTextFormat::BlockIndent:
            case QTextFormat::ListIndent:
                if (!WithinLength(value.toDouble(), kMaxPageIndent)) {
                    return false;
                }
                continue;
            default:
                break;
        }
        if (value.typeId() == qMetaTypeId<QTextLength>()) {
            if (!WithinLength(value.value<QTextLength>().rawValue(), kMaxPageLength)) {
                return false;
            }
        } else if (value.typeId() == qMetaTypeId<QList<QTextLength>>()) {
            for (const QTextLength& length : value.value<QList<QTextLength>>()) {
                if (!WithinLength(length.rawValue(), kMaxPageLength)) {
                    return false;
                }
            }
        } else if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float ||
                   value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong) {
            if (!WithinLength(value.toDouble(), kMaxPageLength)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

OV_PAGE_CHECK CheckPageMarkup(QStringView html) {
    if (html.size() > kMaxPageChars) {
        return PAGE_TOO_LONG;
    }
    return CMarkupScan(html).Run();
}

OV_PAGE_CHECK CheckPageDocument(const QTextDocument& document) {
    qint64 weight = 0;
    if (const OV_PAGE_CHECK result = CheckTables(*document.rootFrame(), weight); result != PAGE_FITS) {
        return result;
    }
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        weight += qint64{text.size()} << TableDepth(QTextCursor(block).currentFrame());
        if (weight > kMaxPageWeight) {
            return PAGE_TOO_HEAVY;
        }
        if (LongestRun(text) > kMaxPageRun) {
            return PAGE_WORD_TOO_LONG;
        }
    }
    const QList<QTextFormat> formats = document.allFormats();
    if (!std::all_of(formats.begin(), formats.end(), FormatFits)) {
        return PAGE_LENGTH_TOO_LARGE;
    }
    if (std::any_of(formats.begin(), formats.end(), IsHalfSizedPicture)) {
        return PAGE_PICTURE_HALF_SIZED;
    }
    QSet<QString> fonts;
    for (const QTextFormat& format : formats) {
        if (format.isCharFormat()) {
            fonts.insert(format.toCharFormat().font().resolve(document.defaultFont()).key());
        }
    }
    return fonts.size() > kMaxPageFonts ? PAGE_TOO_MANY_FONTS : PAGE_FITS;
}
