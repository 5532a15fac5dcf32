// The bounds on pages the HTML view lays out: each holds at its limit and
// trips just past it, the nesting is counted as the parser nests, and the
// pages installed with the program fit.
#include <QDirIterator>
#include <QFile>
#include <QTextDocument>

#include <gtest/gtest.h>

#include "PageLimits.h"
#include "support/loopback_server.h"

namespace {

QString Repeat(const QString& text, int times) {
    return text.repeated(times);
}

// The markup's verdict, and when it fits, the parsed document's.
OV_PAGE_CHECK Check(const QString& html) {
    TestApp();
    if (const OV_PAGE_CHECK markup = CheckPageMarkup(html); markup != PAGE_FITS) {
        return markup;
    }
    QTextDocument document;
    document.setHtml(html);
    return CheckPageDocument(document);
}

QString Tables(int depth, const QString& inner = QStringLiteral("x")) {
    return Repeat("<table><tr><td>", depth) + inner + Repeat("</td></tr></table>", depth);
}

// Text in as many sizes besides the page's own.
QString Sizes(int sizes) {
    QString html;
    for (int size = 0; size < sizes; ++size) {
        html += QStringLiteral("<span style=\"font-size: %1px\">x</span> ").arg(20 + size);
    }
    return html;
}

TEST(PageLimits, EachBoundHoldsAtItsLimitAndTripsPastIt) {
    struct Case {
        const char* what;
        QString atLimit;
        QString pastLimit;
        OV_PAGE_CHECK result;
    } const cases[] = {
        {"length", QString(kMaxPageChars, u' '), QString(kMaxPageChars + 1, u' '), PAGE_TOO_LONG},
        {"elements", Repeat("<b>x</b> ", kMaxPageElements), Repeat("<b>x</b> ", kMaxPageElements + 1),
         PAGE_TOO_MANY_ELEMENTS},
        {"nesting", Repeat("<div>", kMaxPageDepth), Repeat("<div>", kMaxPageDepth + 1), PAGE_TOO_DEEP},
        {"pictures", Repeat("<img src=\"a.png\">", kMaxPagePictures),
         Repeat("<img src=\"a.png\">", kMaxPagePictures + 1), PAGE_TOO_MANY_PICTURES},
        {"style", "<style>" + QString(kMaxPageStyleChars, u' ') + "</style>",
         "<style>" + QString(kMaxPageStyleChars + 1, u' ') + "</style>", PAGE_TOO_MUCH_STYLE},
        {"nested tables", Tables(kMaxPageTableDepth), Tables(kMaxPageTableDepth + 1), PAGE_TABLES_TOO_DEEP},
        {"selectors", "<style>" + Repeat("p{}", kMaxPageSelectors) + "</style>",
         "<style>" + Repeat("p{}", kMaxPageSelectors - 1) + "p,b{}</style>", PAGE_TOO_MUCH_STYLE},
        {"weight of text", Repeat("abcd ", 3276) + "abcd", Repeat("abcd ", 3276) + "abcde", PAGE_TOO_HEAVY},
        // A cell weighs 50, and its text twice its length.
        {"weight of cells", "<table><tr>" + Repeat("<td>x</td>", 315) + "</tr></table>",
         "<table><tr>" + Repeat("<td>x</td>", 316) + "</tr></table>", PAGE_TOO_HEAVY},
        {"weight of spanned cells", "<table><tr><td colspan=\"315\">x</td></tr></table>",
         "<table><tr><td colspan=\"330\">x</td></tr></table>", PAGE_TOO_HEAVY},
        {"weight in nested tables", Tables(2, Repeat("abcd ", 800)), Tables(2, Repeat("abcd ", 820)), PAGE_TOO_HEAVY},
        {"word", QString(kMaxPageRun, u'a'), QString(kMaxPageRun + 1, u'a'), PAGE_WORD_TOO_LONG},
        {"word held together", Repeat("a&nbsp;", kMaxPageRun / 2), Repeat("a&nbsp;", kMaxPageRun / 2 + 1),
         PAGE_WORD_TOO_LONG},
        {"cell padding", "<table cellpadding=\"10000\"><tr><td>x</td></tr></table>",
         "<table cellpadding=\"10001\"><tr><td>x</td></tr></table>", PAGE_LENGTH_TOO_LARGE},
        {"margin", "<p style=\"margin-left: 10000px\">x</p>", "<p style=\"margin-left: 10001px\">x</p>",
         PAGE_LENGTH_TOO_LARGE},
        // The page's own font and one more for each size.
        {"fonts", Sizes(kMaxPageFonts - 1), Sizes(kMaxPageFonts), PAGE_TOO_MANY_FONTS},
        {"indent", "<p style=\"-qt-block-indent: 100\">x</p>", "<p style=\"-qt-block-indent: 101\">x</p>",
         PAGE_LENGTH_TOO_LARGE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Check(c.atLimit), PAGE_FITS) << c.what;
        EXPECT_EQ(Check(c.pastLimit), c.result) << c.what;
    }
    // Beyond any number, and lengths that are no number at all.
    EXPECT_EQ(Check("<img width=\"1e300\" src=\"a.png\">"), PAGE_LENGTH_TOO_LARGE);
    EXPECT_EQ(Check("<p style=\"font-size: 100000000px\">x</p>"), PAGE_LENGTH_TOO_LARGE);
    // A picture of no width (-2 to the parser) in a cell never finished its layout.
    EXPECT_EQ(Check("<img width=s><td>n<img width=1>"), PAGE_LENGTH_TOO_LARGE);
    EXPECT_EQ(Check("<p style=\"margin-left: -10px\">x</p>"), PAGE_LENGTH_TOO_LARGE);
    // Pictures with a width and no height, beside a table, never finished their layout either.
    EXPECT_EQ(Check("<img width=5><td>x<img width=5>"), PAGE_PICTURE_HALF_SIZED);
    EXPECT_EQ(Check("<img height=5><td>x<img width=5 height=5>"), PAGE_PICTURE_HALF_SIZED);
    EXPECT_EQ(Check("<img><td>x<img width=5 height=5>"), PAGE_FITS);
    EXPECT_EQ(Check("<ul><li>disc<ol><li>number</ol></ul>"), PAGE_FITS);
    EXPECT_EQ(Check("<nobr>" + Repeat("word ", 100) + "</nobr>"), PAGE_WORD_TOO_LONG);
}

TEST(PageLimits, NestingIsCountedAsTheParserNests) {
    // Cells, rows, items and paragraphs left open close themselves.
    EXPECT_EQ(Check("<table>" + Repeat("<tr><td>a<td><b>b", 100) + "</table>"), PAGE_FITS);
    EXPECT_EQ(Check(Repeat("<td>x", 100)), PAGE_FITS);
    EXPECT_EQ(Check("<ul>" + Repeat("<li>x", 500) + "</ul>" + Repeat("<p>x", 500)), PAGE_FITS);
    EXPECT_EQ(Check(Repeat("<div/>", 500) + Repeat("<br>", 500)), PAGE_FITS);
    // An item with open inline markup nests the next one inside it.
    EXPECT_EQ(CheckPageMarkup("<ul>" + Repeat("<li><b>x", kMaxPageDepth)), PAGE_TOO_DEEP);
    // Closing tags close the nearest open element of their name only.
    EXPECT_EQ(CheckPageMarkup(Repeat("<div><span></span>", kMaxPageDepth + 1)), PAGE_TOO_DEEP);
    EXPECT_EQ(CheckPageMarkup(Repeat("<div></>", kMaxPageDepth + 1)), PAGE_TOO_DEEP);
    EXPECT_EQ(CheckPageMarkup(Repeat("<div></div>", kMaxPageDepth + 1)), PAGE_FITS);
    // Markup inside comments and quoted values is no markup; "a < b >" is a tag.
    EXPECT_EQ(CheckPageMarkup("<!--" + Repeat("<div>", 100) + "-->"), PAGE_FITS);
    EXPECT_EQ(CheckPageMarkup("<a title=\"" + Repeat("<div>", 100) + "\">x</a>"), PAGE_FITS);
    EXPECT_EQ(CheckPageMarkup(Repeat("a < b > ", kMaxPageDepth + 1)), PAGE_TOO_DEEP);
    // A style sheet is the text right after its tag.
    EXPECT_EQ(CheckPageMarkup(Repeat("<style>p{}</style><p>{,,,}</p>", kMaxPageSelectors)), PAGE_FITS);
    // Sheets add up.
    EXPECT_EQ(CheckPageMarkup("<style>" + QString(2000, u' ') + "</style><p>x</p><style>" +
                              QString(kMaxPageStyleChars - 1999, u' ') + "</style>"),
              PAGE_TOO_MUCH_STYLE);
}

TEST(PageLimits, ThePagesInstalledWithTheProgramFit) {
    int pages = 0;
    for (QDirIterator it(OV_SOURCE_MUI, {"*.html"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(Check(QString::fromUtf8(file.readAll())), PAGE_FITS) << file.fileName().toStdString();
        ++pages;
    }
    EXPECT_GE(pages, 3);
}

}  // namespace
