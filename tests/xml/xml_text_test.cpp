// The parser's accepted and refused texts, entity decoding, attribute lists
// and the writer's exact output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ovmfcstd/XmlManager.h"

namespace {

std::string Narrow(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

std::u16string Str(const char16_t* s) {
    return s ? std::u16string(s) : std::u16string(u"(null)");
}

std::u16string Escape(std::u16string_view s) {
    std::u16string out;
    for (char16_t c : s) {
        switch (c) {
            case u'&':
                out += u"&amp;";
                break;
            case u'<':
                out += u"&lt;";
                break;
            case u'>':
                out += u"&gt;";
                break;
            case u'"':
                out += u"&quot;";
                break;
            case u'\'':
                out += u"&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

struct DocCase {
    const char16_t* text;
    int result;
};

TEST(XmlParse, AcceptedAndRefusedDocuments) {
    const DocCase cases[] = {
        {u"<r/>", 1},
        {u"  \r\n\t<r/>\r\n ", 1},
        {u"", 0},
        {u" \t\r\n", 0},
        {u"r", 0},
        {u"<r", 0},
        // declarations: before the root only, closed by "?>"
        {u"<?xml version=\"1.0\"?><r/>", 1},
        {u"<?xml?>\r\n<?other x?>\r\n<r/>", 1},
        {u"<?xml version=\"1.0\"><r/>", 0},
        {u"<r/><?pi?>", 0},
        {u"<?xml?>", 0},
        // comments and document type declarations, before and after the root
        {u"<!-- c --><r/><!-- d -->", 1},
        {u"<!DOCTYPE r><r/><!doctype x>", 1},
        {u"<!DocType r><r/>", 1},
        {u"<!-->\r\n<r/>", 1},
        {u"<!-- a > b --><r/>", 0},
        {u"<!DOCTYP r><r/>", 0},
        {u"<!x><r/>", 0},
        {u"<!DOCTYPE r [<!ENTITY e \"v\">]><r/>", 0},
        // one root, text only inside it
        {u"<r/><r/>", 0},
        {u"<r></r><s/>", 0},
        {u"text<r/>", 0},
        {u"<r/>text", 0},
        {u"<r>t</r>", 1},
        {u"<r>lead<a/></r>", 1},
        {u"<r><a/>tail</r>", 0},
        {u"<r><a/>mid<b/></r>", 0},
        // closing tags exactly "</name>"
        {u"<r></R>", 0},
        {u"<r>x</r >", 0},
        {u"<r >x</r>", 1},
        {u"<r\tx=\"1\">y</r\tx=\"1\">", 1},
        {u"< r/>", 0},
        {u"<></>", 0},
        {u"</r>", 0},
        // same-name nesting: the content ends at the first closing tag
        {u"<r><r></r></r>", 0},
        {u"<r><a><a>x</a></a></r>", 0},
        {u"<r><r/></r>", 1},
        // markup inside content
        {u"<r><a><!-- c --></a><!-- d --><b/></r>", 1},
        {u"<r><a><!-- x>y --></a></r>", 0},
        {u"<r><!DOCTYPE x><a/></r>", 1},
        {u"<r><?pi?></r>", 0},
        {u"<r><a></r>", 0},
        {u"<r><a x=\"1\"></r>", 0},
        {u"<r>a < b</r>", 0},
        {u"<r>a > b</r>", 1},
    };
    for (const DocCase& c : cases) {
        CXmlManager x;
        EXPECT_EQ(x.SetDoc(c.text), c.result) << Narrow(c.text);
    }
    CXmlManager x;
    EXPECT_EQ(x.SetDoc(nullptr), 1);
    EXPECT_EQ(x.GetDoc(), u"");
    EXPECT_EQ(x.GetDepth(), 0);
}

TEST(XmlParse, TreeOfAcceptedDocument) {
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(u"<?xml version=\"1.0\"?>\r\n<!-- c -->\r\n<r v=\"1\">\r\n  lead &amp; more \r\n"
                       u"  <a>x</a>\r\n  <!-- in -->\r\n  <b/>\r\n  <c><d/></c>\r\n</r>\r\n<!-- end -->"),
              1);
    EXPECT_EQ(Str(x.GetName()), u"r");
    EXPECT_EQ(x.GetDepth(), 3);  // 1, +1 for r's first child, +1 for c's
    // Text before the first child keeps its blanks before the "<".
    EXPECT_EQ(Str(x.GetData()), u"lead & more \r\n  ");
    ASSERT_EQ(x.Into(), 1);
    std::u16string names;
    while (x.Find(nullptr)) {
        names += Str(x.GetName());
    }
    EXPECT_EQ(names, u"abc");
    // Empty-element tag with attributes as the whole document.
    ASSERT_EQ(x.SetDoc(u"<r a=\"1\" b=\"2\"/>"), 1);
    EXPECT_EQ(Str(x.GetAttr(u"b")), u"2");
    EXPECT_EQ(x.Into(), 0);
    // A failed parse keeps what it built so far.
    ASSERT_EQ(x.SetDoc(u"<r><a/><b/>tail</r>"), 0);
    x.ResetAll();
    EXPECT_EQ(Str(x.GetName()), u"r");
    EXPECT_EQ(x.GetDoc(), u"<r>\r\n    <a/>\r\n    <b/>\r\n</r>");
}

TEST(XmlParse, EntityDecodingOrder) {
    struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"&amp;", u"&"},
        {u"&lt;&gt;&quot;&apos;", u"<>\"'"},
        {u"&amp;lt;", u"<"},  // ampersand first, then the rest
        {u"&amp;amp;", u"&amp;"},
        {u"&amp;quot;", u"\""},
        {u"&#65;&nbsp;&AMP;", u"&#65;&nbsp;&AMP;"},
        {u"& amp;", u"& amp;"},
        {u"&ampx;", u"&ampx;"},
    };
    for (const auto& c : cases) {
        CXmlManager x;
        std::u16string doc = u"<r a=\"";
        doc += c.in;
        doc += u"\">";
        doc += c.in;
        doc += u"</r>";
        ASSERT_EQ(x.SetDoc(doc.c_str()), 1) << Narrow(c.in);
        EXPECT_EQ(Str(x.GetData()), c.out) << Narrow(c.in);
        EXPECT_EQ(Str(x.GetAttr(u"a")), c.out) << Narrow(c.in);
    }
    // Names are decoded too, but the closing tag is matched undecoded.
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(u"<a&amp;b>t</a&amp;b>"), 1);
    EXPECT_EQ(Str(x.GetName()), u"a&b");
    EXPECT_EQ(x.SetDoc(u"<a&amp;b>t</a&b>"), 0);
}

TEST(XmlParse, AttributeLists) {
    struct {
        const char16_t* tag;
        std::vector<std::pair<std::u16string, std::u16string>> attrs;
    } cases[] = {
        {u"<r a=\"1\" b=\"2\"/>", {{u"a", u"1"}, {u"b", u"2"}}},
        {u"<r a=\"1\"   \t b=\"2\"/>", {{u"a", u"1"}, {u"b", u"2"}}},
        {u"<r a=\"x y\"/>", {{u"a", u"x y"}}},
        {u"<r a=\"x&quot; y\"/>", {{u"a", u"x\" y"}}},
        {u"<r a=\"\"/>", {{u"a", u""}}},
        {u"<r a=\"/>", {{u"a", u""}}},
        // dropped pieces: no '="', or a last piece without its closing quote
        {u"<r a = \"1\"/>", {}},
        {u"<r a=\"1\" b/>", {{u"a", u"1"}}},
        {u"<r a=\"1\" b=\"2/>", {{u"a", u"1"}}},
        {u"<r junk a=\"1\"/>", {{u"junk a", u"1"}}},
        {u"<r a=\"1\" junk\" b=\"2\"/>", {{u"a", u"1"}, {u"b", u"2"}}},
        // only a double quote followed by a blank separates
        {u"<r a=\"1\"\tb=\"2\"/>", {{u"a", u"1\"\tb=\"2"}}},
        {u"<r a=\"1\"b=\"2\"/>", {{u"a", u"1\"b=\"2"}}},
        {u"<r a='1' b=\"2\"/>", {{u"a='1' b", u"2"}}},
        {u"<r =\"v\"/>", {{u"", u"v"}}},
        {u"<r a=\"1\" a=\"2\">t</r>", {{u"a", u"1"}, {u"a", u"2"}}},
    };
    for (const auto& c : cases) {
        CXmlManager x;
        ASSERT_EQ(x.SetDoc(c.tag), 1) << Narrow(c.tag);
        // The writer shows every attribute in order, names and values escaped.
        std::u16string expected = u"<r";
        for (const auto& [name, value] : c.attrs) {
            expected += u" " + Escape(name) + u"=\"" + Escape(value) + u"\"";
        }
        std::u16string doc = x.GetDoc();
        std::u16string written = doc.substr(0, doc.find(u'>'));
        if (!written.empty() && written.back() == u'/') {
            written.pop_back();
        }
        EXPECT_EQ(written, expected) << Narrow(c.tag);
    }
}

TEST(XmlWrite, EightFormats) {
    struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"<r a=\"1\">t<c/></r>", u"<r a=\"1\">\r\n    t\r\n    <c/>\r\n</r>"},
        {u"<r a=\"1\"><c/></r>", u"<r a=\"1\">\r\n    <c/>\r\n</r>"},
        {u"<r>t<c/></r>", u"<r>\r\n    t\r\n    <c/>\r\n</r>"},
        {u"<r><c/></r>", u"<r>\r\n    <c/>\r\n</r>"},
        {u"<r a=\"1\" b=\"2\">t</r>", u"<r a=\"1\" b=\"2\">t</r>"},
        {u"<r a=\"1\"></r>", u"<r a=\"1\"/>"},
        {u"<r>t</r>", u"<r>t</r>"},
        {u"<r></r>", u"<r/>"},
        {u"<r><c>x</c></r>", u"<r>\r\n    <c>x</c>\r\n</r>"},
        {u"<r><a><b>x</b><b2/></a><c/></r>",
         u"<r>\r\n    <a>\r\n        <b>x</b>\r\n        <b2/>\r\n    </a>\r\n    <c/>\r\n</r>"},
        {u"<r a=\"&amp;&lt;&gt;&quot;&apos;\">&amp;&lt;&gt;&quot;&apos;</r>",
         u"<r a=\"&amp;&lt;&gt;&quot;&apos;\">&amp;&lt;&gt;&quot;&apos;</r>"},
        {u"<r>  t  <c/></r>", u"<r>\r\n    t  \r\n    <c/>\r\n</r>"},
    };
    for (const auto& c : cases) {
        CXmlManager x;
        ASSERT_EQ(x.SetDoc(c.in), 1) << Narrow(c.in);
        EXPECT_EQ(x.GetDoc(), c.out) << Narrow(c.in);
    }
}

TEST(XmlWrite, SubAndChildDocuments) {
    CXmlManager x;
    EXPECT_EQ(x.GetSubDoc(), u"");
    EXPECT_EQ(x.GetChildDoc(), u"");
    ASSERT_EQ(x.SetDoc(u"<r><a><b/></a><c>t</c></r>"), 1);
    EXPECT_EQ(x.GetChildDoc(), u"<a>\r\n    <b/>\r\n</a>\r\n<c>t</c>");
    ASSERT_EQ(x.Into(), 1);
    EXPECT_EQ(x.GetSubDoc(), u"<a>\r\n    <b/>\r\n</a>");  // without its sibling
    EXPECT_EQ(x.GetChildDoc(), u"<b/>");
    ASSERT_EQ(x.Find(u"c"), 1);
    EXPECT_EQ(x.GetChildDoc(), u"");
}

TEST(XmlWrite, AmpersandValueRoundTrip) {
    CXmlManager x;
    ASSERT_EQ(x.AddElem(u"r"), 1);
    ASSERT_EQ(x.AddAttr(u"v", u"a&amp;b"), 1);
    std::u16string doc = x.GetDoc();
    EXPECT_EQ(doc, u"<r v=\"a&amp;b\"/>");
    CXmlManager y;
    ASSERT_EQ(y.SetDoc(doc.c_str()), 1);
    EXPECT_EQ(Str(y.GetAttr(u"v")), u"a&b");
}

// Every proper prefix of a document misses at least its root's closing tag.
TEST(XmlParse, TruncatedDocumentsAreRefused) {
    const std::u16string full =
        u"<?xml version=\"1.0\"?><!-- c --><!DOCTYPE r><r a=\"1\" b=\"x&amp;y\">t<b>u</b><c/><!-- d --><e "
        u"f=\"2\"/></r>";
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(full.c_str()), 1);
    for (std::size_t n = 0; n < full.size(); ++n) {
        std::u16string cut = full.substr(0, n);
        EXPECT_EQ(x.SetDoc(cut.c_str()), 0) << n;
    }
}

// Damaged documents: whatever the parser says, nothing crashes and a
// document it accepted can be written and read back.
TEST(XmlParse, DamagedDocumentsDoNotBreakTheManager) {
    const std::u16string full = u"<r a=\"1\">t<b x=\"&lt;\">u</b><c/><!-- d --></r>";
    const char16_t damage[] = {u'<', u'>', u'/', u'"', u' ', u'!', u'?', u'&', u'-'};
    int accepted = 0;
    for (std::size_t i = 0; i < full.size(); ++i) {
        for (char16_t d : damage) {
            std::u16string t = full;
            t[i] = d;
            CXmlManager x;
            if (x.SetDoc(t.c_str())) {
                ++accepted;
                EXPECT_FALSE(x.GetDoc().empty()) << Narrow(t);
            }
            std::u16string erased = full;
            erased.erase(i, 1);
            x.SetDoc(erased.c_str());
            x.GetDoc();
        }
    }
    EXPECT_GT(accepted, 0);
}

std::u16string Ascii(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

// levels elements e0, e1, ... each inside the one before.
std::u16string Nested(int levels) {
    std::u16string doc;
    for (int i = 0; i < levels; ++i) {
        doc += u"<e" + std::u16string(Ascii(std::to_string(i))) + u">";
    }
    doc += u"x";
    for (int i = levels - 1; i >= 0; --i) {
        doc += u"</e" + std::u16string(Ascii(std::to_string(i))) + u">";
    }
    return doc;
}

TEST(XmlParse, DeepNestingRefusedWithoutCrash) {
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(Nested(256).c_str()), 1);
    EXPECT_EQ(x.GetDepth(), 256);
    std::u16string doc = x.GetDoc();
    std::size_t leaf = doc.find(u"<e255>x</e255>");
    ASSERT_NE(leaf, std::u16string::npos);
    EXPECT_EQ(doc.substr(leaf - 255 * 4 - 1, 255 * 4 + 1), u"\n" + std::u16string(255 * 4, u' '));
    EXPECT_EQ(x.SetDoc(Nested(257).c_str()), 0);
    EXPECT_EQ(x.SetDoc(Nested(100000).c_str()), 0);
    // Unclosed start tags, and "</" runs without ">", stay cheap and refused.
    std::u16string opens;
    for (int i = 0; i < 100000; ++i) {
        opens += u"<a>";
    }
    EXPECT_EQ(x.SetDoc(opens.c_str()), 0);
    std::u16string slashes = u"<r>";
    for (int i = 0; i < 200000; ++i) {
        slashes += u"</";
    }
    slashes += u"></r>";
    // One empty element whose odd name runs up to the "/" before ">".
    ASSERT_EQ(x.SetDoc(slashes.c_str()), 1);
    ASSERT_EQ(x.Into(), 1);
    EXPECT_EQ(std::u16string(x.GetName()).size(), 200000u * 2 - 2);
}

TEST(XmlWrite, DeepBuiltTreeIsWrittenWithoutRecursion) {
    CXmlManager x;
    ASSERT_EQ(x.AddElem(u"e"), 1);
    const int levels = 3000;
    for (int i = 1; i < levels; ++i) {
        ASSERT_TRUE(x.Into() && x.AddElem(u"e"));
    }
    std::u16string doc = x.GetDoc();
    EXPECT_EQ(doc.substr(doc.size() - 4), u"</e>");
    // The innermost element, on its own line, indented by four blanks per level.
    std::size_t leaf = doc.find(u"<e/>");
    ASSERT_NE(leaf, std::u16string::npos);
    const std::size_t indent = (levels - 1) * 4;
    ASSERT_GT(leaf, indent);
    EXPECT_EQ(doc.substr(leaf - indent - 1, indent + 1), u"\n" + std::u16string(indent, u' '));
}

}  // namespace
