#pragma once
// Bounds on the pages the HTML view lays out. The text layout takes time
// that grows much faster than the page for some constructs (nested tables
// double it per level, deep nesting and long unbreakable words square it,
// huge lengths never end), and it runs on the GUI thread; so a page is
// checked twice before any layout: its markup before it is parsed (length,
// elements, nesting, pictures, style sheets), and the parsed document before
// it is shown (nested tables, the weight of its text and cells, unbreakable
// runs of text, lengths, fonts). The weight counts a character 1 and a table cell
// kPageCellWeight, doubled for each table around it. Within these bounds a
// page is parsed, laid out and painted in well under 250 ms, at any width
// (bench/online measures it, scripts/fuzz.sh searches for exceptions).
#include <QStringView>

class QTextDocument;

enum OV_PAGE_CHECK : int {
    PAGE_FITS = 0,
    PAGE_TOO_LONG = 1,             // more characters than kMaxPageChars
    PAGE_TOO_MANY_ELEMENTS = 2,    // more tags than kMaxPageElements
    PAGE_TOO_DEEP = 3,             // elements nested deeper than kMaxPageDepth
    PAGE_TOO_MANY_PICTURES = 4,    // more pictures than kMaxPagePictures
    PAGE_TOO_MUCH_STYLE = 5,       // style sheets longer than kMaxPageStyleChars or with more selectors
                                   // than kMaxPageSelectors
    PAGE_TABLES_TOO_DEEP = 6,      // tables nested deeper than kMaxPageTableDepth
    PAGE_TOO_HEAVY = 7,            // text and cells weigh more than kMaxPageWeight
    PAGE_WORD_TOO_LONG = 8,        // a run of text without a break longer than kMaxPageRun
    PAGE_LENGTH_TOO_LARGE = 9,     // a length, size or indent beyond kMaxPageLength, or negative
    PAGE_TOO_MANY_FONTS = 10,      // more distinct fonts than kMaxPageFonts
    PAGE_PICTURE_HALF_SIZED = 11,  // a picture with a width but no height: beside a table,
                                   // the layout never finishes
};

inline constexpr qsizetype kMaxPageChars = 64 * 1024;
inline constexpr int kMaxPageElements = 2000;
inline constexpr int kMaxPageDepth = 48;
inline constexpr int kMaxPagePictures = 32;
inline constexpr qsizetype kMaxPageStyleChars = 4096;
inline constexpr int kMaxPageSelectors = 64;
inline constexpr int kMaxPageTableDepth = 3;
inline constexpr qint64 kMaxPageWeight = 16 * 1024;
inline constexpr qint64 kPageCellWeight = 50;
inline constexpr qsizetype kMaxPageRun = 200;
inline constexpr double kMaxPageLength = 10000;  // pixels, points or percent
inline constexpr int kMaxPageIndent = 100;       // indent steps of a block or list
// Each font a page uses is loaded on its first use, with a search through
// every installed font for characters it lacks (some 20 ms for a script that
// no font here has).
inline constexpr int kMaxPageFonts = 8;

// Checks the markup of a page before it is parsed. The nesting is counted as
// the view's parser builds it (closing tags close the nearest open element of
// that name, a cell or row closes the open cell or row of its table), or more
// deeply where the two could differ.
OV_PAGE_CHECK CheckPageMarkup(QStringView html);
// Checks a parsed page before it is laid out.
OV_PAGE_CHECK CheckPageDocument(const QTextDocument& document);
