// Cursor behaviour of COvXmlParser that the string tables, the OUI and
// protocol tables and the configuration file rely on, and the file encodings
// that Load accepts.
#include "OvXmlParser.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "platform/codepage.h"

namespace {

// LCIDs whose code pages the ANSI cases use.
constexpr LCID kGerman = 0x0407;   // 1252
constexpr LCID kChinese = 0x0804;  // 936

// Restores the thread locale a test changed.
class ThreadLocaleGuard {
public:
    ThreadLocaleGuard() : m_saved(GetThreadLocale()) {}
    ~ThreadLocaleGuard() { SetThreadLocale(m_saved); }
    ThreadLocaleGuard(const ThreadLocaleGuard&) = delete;
    ThreadLocaleGuard& operator=(const ThreadLocaleGuard&) = delete;

private:
    LCID m_saved;
};

TEST(XmlCursor, FindSearchesAfterTheCurrentElementOnly) {
    COvXmlParser xml;
    ASSERT_TRUE(xml.SetDoc(u"<r><a n=\"1\"/><b/><a n=\"2\"/><a n=\"3\"/></r>"));
    EXPECT_FALSE(xml.FindElem(u"a")) << "a is not on the top level";
    ASSERT_TRUE(xml.FindElem(u"r"));
    xml.IntoElem();
    ASSERT_TRUE(xml.FindElem(u"a"));
    EXPECT_EQ(xml.GetAttrib(u"n"), u"1");
    ASSERT_TRUE(xml.FindElem(u"a"));
    EXPECT_EQ(xml.GetAttrib(u"n"), u"2");
    // b lies before the current element: not found, and the cursor stays.
    EXPECT_FALSE(xml.FindElem(u"b"));
    EXPECT_EQ(xml.GetAttrib(u"n"), u"2");
    ASSERT_TRUE(xml.FindElem(u"a"));
    EXPECT_EQ(xml.GetAttrib(u"n"), u"3");
    EXPECT_FALSE(xml.FindElem(u"a"));

    xml.ResetPos();
    EXPECT_TRUE(xml.GetAttrib(u"n").empty()) << "no current element after ResetPos";
    EXPECT_TRUE(xml.FindElem(u"r"));
}

TEST(XmlCursor, EachEntryIsVisitedOnceInDocumentOrder) {
    COvXmlParser xml;
    ASSERT_TRUE(xml.SetDoc(u"<t><e v=\"a\"/><x/><e v=\"b\"/><!-- c --><e v=\"c\">text</e></t>"));
    ASSERT_TRUE(xml.FindElem(u"t"));
    xml.IntoElem();
    std::u16string seen;
    while (xml.FindElem(u"e")) {
        seen += xml.GetAttrib(u"v");
    }
    EXPECT_EQ(seen, u"abc");
    EXPECT_EQ(xml.GetData(), u"text");
    EXPECT_TRUE(xml.OutOfElem());
    EXPECT_FALSE(xml.OutOfElem()) << "already at the top level";
}

TEST(XmlCursor, OutOfElemMakesTheEnteredElementCurrentAgain) {
    COvXmlParser xml;
    ASSERT_TRUE(xml.SetDoc(u"<r><s id=\"1\"><k>one</k></s><s id=\"2\"><k>two</k></s></r>"));
    ASSERT_TRUE(xml.FindElem(u"r"));
    xml.IntoElem();
    ASSERT_TRUE(xml.FindElem(u"s"));
    xml.IntoElem();
    EXPECT_TRUE(xml.GetAttrib(u"id").empty()) << "no current element right after IntoElem";
    ASSERT_TRUE(xml.FindElem(u"k"));
    EXPECT_EQ(xml.GetData(), u"one");
    xml.OutOfElem();
    EXPECT_EQ(xml.GetAttrib(u"id"), u"1");
    ASSERT_TRUE(xml.FindElem(u"s"));
    EXPECT_EQ(xml.GetAttrib(u"id"), u"2");
    xml.IntoElem();
    ASSERT_TRUE(xml.FindElem(u"k"));
    EXPECT_EQ(xml.GetData(), u"two");
    xml.OutOfElem();
    xml.OutOfElem();
    EXPECT_FALSE(xml.FindElem(u"r")) << "r is current; nothing follows it";
    xml.ResetPos();
    EXPECT_FALSE(xml.IntoElem()) << "IntoElem needs a current element";
}

TEST(XmlCursor, AbsentAttributesAndTextAreEmpty) {
    COvXmlParser xml;
    EXPECT_TRUE(xml.GetAttrib(u"x").empty());
    EXPECT_TRUE(xml.GetData().empty());
    ASSERT_TRUE(xml.SetDoc(u"<r a=\"\" b=\"x &amp; y\"><c/></r>"));
    ASSERT_TRUE(xml.FindElem(u"r"));
    EXPECT_TRUE(xml.GetAttrib(u"missing").empty());
    EXPECT_TRUE(xml.GetAttrib(u"a").empty());
    EXPECT_EQ(xml.GetAttrib(u"b"), u"x & y");
    EXPECT_TRUE(xml.GetData().empty());
    EXPECT_TRUE(xml.GetAttrib(nullptr).empty());
}

TEST(XmlCursor, AddElemMakesTheNewElementCurrentAndSurvivesARoundTrip) {
    COvXmlParser xml;
    ASSERT_TRUE(xml.AddElem(u"Config", nullptr));
    EXPECT_FALSE(xml.AddElem(u"Second", nullptr)) << "a document has one root";
    xml.IntoElem();
    ASSERT_TRUE(xml.AddElem(u"Settings", nullptr));
    xml.IntoElem();
    ASSERT_TRUE(xml.AddElem(u"Key", u"a<b & \"c\" \u00fc\u7f51"));
    EXPECT_EQ(xml.GetData(), u"a<b & \"c\" \u00fc\u7f51");
    ASSERT_TRUE(xml.AddElem(u"Other", u"2"));
    ASSERT_TRUE(xml.SetData(u"3", 0));
    EXPECT_EQ(xml.GetData(), u"3");
    xml.OutOfElem();
    xml.OutOfElem();
    xml.ResetPos();

    COvXmlParser copy;
    ASSERT_TRUE(copy.SetDoc(xml.GetDoc().c_str()));
    ASSERT_TRUE(copy.FindElem(u"Config"));
    copy.IntoElem();
    ASSERT_TRUE(copy.FindElem(u"Settings"));
    copy.IntoElem();
    ASSERT_TRUE(copy.FindElem(u"Key"));
    EXPECT_EQ(copy.GetData(), u"a<b & \"c\" \u00fc\u7f51");
    ASSERT_TRUE(copy.FindElem(u"Other"));
    EXPECT_EQ(copy.GetData(), u"3");
    ASSERT_TRUE(copy.SetData(u"x]]>y", 1));
    EXPECT_EQ(copy.GetData(), u"x]]>y");
}

TEST(XmlCursor, MalformedTextLeavesAnEmptyDocument) {
    COvXmlParser xml;
    ASSERT_TRUE(xml.SetDoc(u"<ok/>"));
    EXPECT_FALSE(xml.SetDoc(u"<r><unclosed></r>"));
    EXPECT_FALSE(xml.FindElem(u"r"));
    EXPECT_FALSE(xml.FindElem(u"ok"));
    EXPECT_FALSE(xml.SetDoc(nullptr));
    EXPECT_FALSE(xml.SetData(u"x", 0)) << "no current element";
}

struct EncodedFile {
    const char* name;
    std::string bytes;
};

std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string out;
    for (const char16_t c : text) {
        const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

TEST(XmlLoad, ReadsUtf8AndUtf16Files) {
    const std::u16string doc = u"<?xml version=\"1.0\"?>\n<r t=\"Gr\u00fc\u00dfe\"><d>\u7f51\u7edc \U0001F600</d></r>";
    const std::string utf8 = ov::WideToUtf8(doc);
    const EncodedFile files[] = {
        {"utf8.xml", utf8},
        {"utf8bom.xml", "\xEF\xBB\xBF" + utf8},
        {"utf16le.xml", "\xFF\xFE" + Utf16Bytes(doc, false)},
        {"utf16be.xml", "\xFE\xFF" + Utf16Bytes(doc, true)},
    };
    TempDir dir;
    for (const EncodedFile& f : files) {
        SCOPED_TRACE(f.name);
        COvXmlParser xml;
        ASSERT_TRUE(xml.Load(WidePath(dir.Write(f.name, f.bytes)).c_str()));
        ASSERT_TRUE(xml.FindElem(u"r"));
        EXPECT_EQ(xml.GetAttrib(u"t"), u"Gr\u00fc\u00dfe");
        xml.IntoElem();
        ASSERT_TRUE(xml.FindElem(u"d"));
        EXPECT_EQ(xml.GetData(), u"\u7f51\u7edc \U0001F600");
    }
}

TEST(XmlLoad, ReadsAnsiFilesInTheThreadsCodePage) {
    ThreadLocaleGuard restore;
    TempDir dir;
    {
        ASSERT_TRUE(SetThreadLocale(kGerman));
        COvXmlParser xml;
        // "Grüße" in code page 1252: not valid UTF-8, so it is ANSI.
        ASSERT_TRUE(xml.Load(WidePath(dir.Write("de.xml",
                                                "<r t=\"Gr\xFC\xDF"
                                                "e\"/>"))
                                 .c_str()));
        ASSERT_TRUE(xml.FindElem(u"r"));
        EXPECT_EQ(xml.GetAttrib(u"t"), u"Gr\u00fc\u00dfe");
    }
    {
        ASSERT_TRUE(SetThreadLocale(kChinese));
        COvXmlParser xml;
        // "网络" in GBK, declared as such.
        ASSERT_TRUE(
            xml.Load(WidePath(dir.Write("zh.xml", "<?xml version=\"1.0\" encoding=\"GB2312\"?><r>\xCD\xF8\xC2\xE7</r>"))
                         .c_str()));
        ASSERT_TRUE(xml.FindElem(u"r"));
        EXPECT_EQ(xml.GetData(), u"\u7f51\u7edc");
    }
}

TEST(XmlLoad, DeclaredEncodingsWinOverTheThreadsCodePage) {
    ThreadLocaleGuard restore;
    ASSERT_TRUE(SetThreadLocale(kChinese));
    TempDir dir;
    const struct {
        const char* encoding;
        std::string text;
        std::u16string expected;
    } cases[] = {
        {"ISO-8859-1", "caf\xE9", u"caf\u00e9"},
        {"windows-1251", "\xCC\xE8\xF0", u"\u041c\u0438\u0440"},
        {"Shift_JIS", "\x93\xFA\x96\x7B", u"\u65e5\u672c"},
        {"x-unknown", "\xCD\xF8", u"\u7f51"},  // unknown: the thread's page (936)
    };
    for (const auto& c : cases) {
        COvXmlParser xml;
        const std::string file =
            std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding + "\"?><r>" + c.text + "</r>";
        ASSERT_TRUE(xml.Load(WidePath(dir.Write("e.xml", file)).c_str())) << c.encoding;
        ASSERT_TRUE(xml.FindElem(u"r"));
        EXPECT_EQ(xml.GetData(), c.expected) << c.encoding;
    }
}

TEST(XmlLoad, FailsOnMissingOrDamagedFiles) {
    TempDir dir;
    COvXmlParser xml;
    EXPECT_FALSE(xml.Load(WidePath((dir.Path() / "absent.xml").string()).c_str()));
    EXPECT_FALSE(xml.Load(u""));
    EXPECT_FALSE(xml.Load(nullptr));
    const char* damaged[] = {"", "<r>", "<r a=\"1></r>", "<r></s>", "\xFF\xFE<\0r\0", "<r><r>"};
    for (const char* bytes : damaged) {
        SCOPED_TRACE(bytes);
        ASSERT_TRUE(xml.SetDoc(u"<old/>"));
        EXPECT_FALSE(xml.Load(WidePath(dir.Write("bad.xml", bytes)).c_str()));
        EXPECT_FALSE(xml.FindElem(u"old")) << "a failed Load leaves no document";
    }
    // A path with non-ASCII characters names the file by its UTF-8 bytes.
    EXPECT_TRUE(xml.Load(WidePath(dir.Write("\xC3\xBC\xE7\xBD\x91.xml", "<r/>")).c_str()));
    EXPECT_TRUE(xml.FindElem(u"r"));
}

}  // namespace
