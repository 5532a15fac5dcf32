// Read cursor, build cursor, path addressing and typed attributes of CXmlManager.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ovmfcstd/XmlManager.h"

namespace {

std::u16string Str(const char16_t* s) {
    return s ? std::u16string(s) : std::u16string(u"(null)");
}

TEST(XmlCursor, FindVisitsSameNamesThenFailsUntilReset) {
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(u"<r><a n=\"1\"/><b/><a n=\"2\"/></r>"), 1);
    ASSERT_EQ(x.Into(), 1);
    ASSERT_EQ(x.Find(u"a"), 1);
    EXPECT_EQ(Str(x.GetAttr(u"n")), u"1");
    ASSERT_EQ(x.Find(u"a"), 1);
    EXPECT_EQ(Str(x.GetAttr(u"n")), u"2");
    EXPECT_EQ(x.Find(u"a"), 0);
    // Once failed, the level stays exhausted, even for "any element".
    EXPECT_EQ(x.Find(u"b"), 0);
    EXPECT_EQ(x.Find(nullptr), 0);
    EXPECT_EQ(x.GetName(), nullptr);
    x.Reset();
    EXPECT_EQ(x.Find(u"b"), 1);
    EXPECT_EQ(Str(x.GetName()), u"b");
}

TEST(XmlCursor, NullNameStepsThroughLevelInOrder) {
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(u"<r><a/><b/><c/></r>"), 1);
    ASSERT_EQ(x.Into(), 1);
    std::u16string seen;
    while (x.Find(nullptr)) {
        seen += Str(x.GetName());
    }
    EXPECT_EQ(seen, u"abc");
    // Names compare exactly, case included.
    x.Reset();
    EXPECT_EQ(x.Find(u"B"), 0);
}

TEST(XmlCursor, IntoOutOfRememberOneLevel) {
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(u"<r><a><b/><c/></a><d/></r>"), 1);
    EXPECT_EQ(x.OutOf(), 0);  // nothing entered yet
    ASSERT_EQ(x.Find(u"r"), 1);
    ASSERT_EQ(x.Into(), 1);
    ASSERT_EQ(x.Find(u"a"), 1);
    ASSERT_EQ(x.Into(), 1);
    EXPECT_EQ(Str(x.GetName()), u"b");
    ASSERT_EQ(x.OutOf(), 1);
    EXPECT_EQ(Str(x.GetName()), u"a");
    // The second OutOf stays on the element entered last.
    ASSERT_EQ(x.OutOf(), 1);
    EXPECT_EQ(Str(x.GetName()), u"a");
    // started came back with OutOf: the next Find moves on to d.
    ASSERT_EQ(x.Find(nullptr), 1);
    EXPECT_EQ(Str(x.GetName()), u"d");
    // Entering an element without children: 0, and an empty level.
    EXPECT_EQ(x.Into(), 0);
    EXPECT_EQ(x.Find(nullptr), 0);
    EXPECT_EQ(x.Into(), 0);  // no current element
    x.ResetAll();
    EXPECT_EQ(Str(x.GetName()), u"r");
}

TEST(XmlCursor, DataAndAttributesOfCurrentElement) {
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(u"<r a=\"1\" a=\"2\">t</r>"), 1);
    EXPECT_EQ(Str(x.GetData()), u"t");
    EXPECT_EQ(Str(x.GetAttr(u"a")), u"1");
    x.SetAttr(u"a", u"x &amp; y");
    EXPECT_EQ(Str(x.GetAttr(u"a")), u"x & y");
    x.SetAttr(u"missing", u"v");  // never adds
    EXPECT_EQ(x.GetAttr(u"missing"), nullptr);
    x.SetAttr(u"a", 7L);
    EXPECT_EQ(Str(x.GetAttr(u"a")), u"7");
    x.SetAttr(u"a", -9000000000LL);
    EXPECT_EQ(Str(x.GetAttr(u"a")), u"-9000000000");
    x.SetAttr(u"a", 1);
    EXPECT_EQ(Str(x.GetAttr(u"a")), u"true");
    x.SetAttr(u"a", 0);
    EXPECT_EQ(Str(x.GetAttr(u"a")), u"false");
    x.SetAttr(u"a", static_cast<const char16_t*>(nullptr));
    EXPECT_EQ(x.GetAttr(u"a"), nullptr);
    x.SetData(u"a &amp; b &amp;lt;");
    EXPECT_EQ(Str(x.GetData()), u"a & b <");
    x.SetData(u"");
    EXPECT_EQ(x.GetData(), nullptr);
    EXPECT_EQ(x.GetDoc(), u"<r a=\"\" a=\"2\"/>");
}

TEST(XmlBuild, BuildModeTakesOverIntoAndOutOf) {
    CXmlManager x;
    EXPECT_EQ(x.AddElem(nullptr), 0);
    EXPECT_EQ(x.AddElem(u""), 0);
    ASSERT_EQ(x.AddElem(u"r"), 1);
    EXPECT_EQ(x.AddElem(u"second"), 0);  // one top-level element
    EXPECT_EQ(x.GetDepth(), 0);
    ASSERT_EQ(x.Into(), 1);  // build level, though the read cursor has nothing
    ASSERT_EQ(x.AddElem(u"a", u"1 &lt; 2"), 1);
    ASSERT_EQ(x.AddAttr(u"k", u"v"), 1);
    ASSERT_EQ(x.AddAttr(u"k", 5L), 1);  // same name twice: two attributes
    ASSERT_EQ(x.Into(), 1);
    ASSERT_EQ(x.AddElem(u"b"), 1);
    ASSERT_EQ(x.OutOf(), 1);
    ASSERT_EQ(x.AddElem(u"c"), 1);
    EXPECT_EQ(x.AddAttr(u"", u"v"), 0);
    EXPECT_EQ(x.AddAttr(nullptr, u"v"), 0);
    EXPECT_EQ(x.GetDepth(), 2);
    EXPECT_EQ(x.GetDoc(),
              u"<r>\r\n    <a k=\"v\" k=\"5\">\r\n        1 &lt; 2\r\n        <b/>\r\n    </a>\r\n"
              u"    <c/>\r\n</r>");
    // The read cursor was never moved by the build calls.
    EXPECT_EQ(x.GetName(), nullptr);
    x.ResetAll();
    EXPECT_EQ(x.Into(), 1);  // now the read cursor's
    EXPECT_EQ(Str(x.GetName()), u"a");
}

TEST(XmlBuild, NoElementLostAfterSecondOutOfOrSecondChild) {
    CXmlManager x;
    ASSERT_EQ(x.AddElem(u"r"), 1);
    ASSERT_EQ(x.Into(), 1);
    ASSERT_EQ(x.AddElem(u"a"), 1);
    ASSERT_EQ(x.Into(), 1);
    ASSERT_EQ(x.AddElem(u"a1"), 1);
    ASSERT_EQ(x.OutOf(), 1);
    ASSERT_EQ(x.AddElem(u"b"), 1);
    ASSERT_EQ(x.OutOf(), 1);  // back on a, which already has b after it
    ASSERT_EQ(x.AddElem(u"c"), 1);
    ASSERT_EQ(x.AddChildElem(u"c1"), 1);
    ASSERT_EQ(x.AddChildElem(u"c2"), 1);  // below c as well, not beside it
    EXPECT_EQ(x.GetDoc(),
              u"<r>\r\n    <a>\r\n        <a1/>\r\n    </a>\r\n    <b/>\r\n    <c>\r\n"
              u"        <c1/>\r\n        <c2/>\r\n    </c>\r\n</r>");
    // A sibling of the root cannot be written: refused instead of lost.
    CXmlManager y;
    ASSERT_EQ(y.AddElem(u"r"), 1);
    ASSERT_EQ(y.AddChildElem(u"a"), 1);
    EXPECT_EQ(y.AddElem(u"b"), 0);
    ASSERT_EQ(y.AddChildElem(u"b"), 1);
    EXPECT_EQ(y.GetDoc(), u"<r>\r\n    <a/>\r\n    <b/>\r\n</r>");
}

TEST(XmlBuild, AddSubDocExtendsElementAddedLast) {
    CXmlManager x;
    EXPECT_EQ(x.AddSubDoc(nullptr), 0);
    EXPECT_EQ(x.AddSubDoc(u""), 0);
    ASSERT_EQ(x.AddSubDoc(u"<r><a/></r>"), 1);  // no root: a whole document
    EXPECT_EQ(x.AddSubDoc(u"<b/>"), 0);         // root but nothing added
    CXmlManager y;
    ASSERT_EQ(y.AddElem(u"r"), 1);
    ASSERT_EQ(y.AddChildElem(u"a"), 1);
    ASSERT_EQ(y.AddSubDoc(u"<b x=\"1\"><c/></b>"), 1);
    EXPECT_EQ(y.GetDoc(), u"<r>\r\n    <a/>\r\n    <b x=\"1\">\r\n        <c/>\r\n    </b>\r\n</r>");
    EXPECT_EQ(y.AddSubDoc(u"<b>x</b>tail"), 0);
}

TEST(XmlPath, ResolvesFirstChildOfEachName) {
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(u"<r><a><x>1</x></a><a><y v=\"true\" n=\" 42 \" f=\"false\">2</y></a></r>"), 1);
    std::u16string t;
    EXPECT_EQ(x.GetElemData(u"r\\a\\x", t), 1);
    EXPECT_EQ(t, u"1");
    EXPECT_EQ(x.GetElemData(u"r\\a\\x\\", t), 1);
    EXPECT_EQ(x.GetElemData(u"r", t), 1);
    EXPECT_EQ(t, u"");
    EXPECT_EQ(x.GetElemData(u"r\\", t), 1);
    // y exists only under the second a.
    EXPECT_EQ(x.GetElemData(u"r\\a\\y", t), 0);
    for (const char16_t* bad : {u"", u"q", u"\\", u"r\\\\a", u"r\\a\\x\\z", u"R", u"r \\a"}) {
        EXPECT_EQ(x.GetElemData(bad, t), 0) << std::string(bad, bad + std::char_traits<char16_t>::length(bad));
    }
    EXPECT_EQ(x.GetElemData(nullptr, t), 0);
    EXPECT_EQ(x.SetElemData(u"r\\a", u"&amp;amp;"), 1);
    EXPECT_EQ(x.GetElemData(u"r\\a", t), 1);
    EXPECT_EQ(t, u"&amp;");
}

TEST(XmlPath, TypedAttributeValues) {
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(u"<r><y v=\"true\" n=\"-42 \" f=\"false\" big=\"99999999999999999999\" s=\"&lt;\"/></r>"), 1);
    int b = -1;
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"v", b), 1);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"f", b), 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"n", b), 1);
    EXPECT_EQ(b, -42);
    long l = 0;
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"n", l), 1);
    EXPECT_EQ(l, -42);
    long long ll = 0;
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"big", ll), 1);
    EXPECT_EQ(ll, LLONG_MAX);  // clamped, not wrapped
    std::u16string s;
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"s", s), 1);
    EXPECT_EQ(s, u"<");
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"absent", s), 0);
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"", s), 0);
    EXPECT_EQ(x.GetAttrValue(u"r\\y", nullptr, s), 0);
    EXPECT_EQ(x.GetAttrValue(u"r\\z", u"s", s), 0);
    EXPECT_EQ(x.SetAttrValue(u"r\\y", u"n", 123456789012LL), 1);
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"n", ll), 1);
    EXPECT_EQ(ll, 123456789012LL);
    EXPECT_EQ(x.SetAttrValue(u"r\\y", u"f", 1), 1);
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"f", b), 1);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(x.SetAttrValue(u"r\\y", u"new", u"v"), 0);  // never adds
    EXPECT_EQ(x.SetAttrValue(u"r\\y", u"s", 8L), 1);
    EXPECT_EQ(x.GetDoc(),
              u"<r>\r\n    <y v=\"true\" n=\"123456789012\" f=\"true\" big=\"99999999999999999999\" s=\"8\"/>\r\n</r>");
}

TEST(XmlPath, LongValuesBehaveAsThirtyTwoBitNumbers) {
    CXmlManager built;
    ASSERT_EQ(built.AddElem(u"r"), 1);
    ASSERT_EQ(built.AddAttr(u"a", 4294967297L), 1);  // 2^32 + 1
    EXPECT_EQ(built.GetDoc(), u"<r a=\"1\"/>");

    CXmlManager x;
    ASSERT_EQ(x.SetDoc(u"<r><y b=\"0\" c=\"4294967296\" d=\"-4294967296\"/></r>"), 1);
    EXPECT_EQ(x.SetAttrValue(u"r\\y", u"b", 2147483648L), 1);
    std::u16string text;
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"b", text), 1);
    EXPECT_EQ(text, u"-2147483648");
    long value = 0;
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"c", value), 1);
    EXPECT_EQ(value, 2147483647L);
    EXPECT_EQ(x.GetAttrValue(u"r\\y", u"d", value), 1);
    EXPECT_EQ(value, -2147483647L - 1);
}

TEST(XmlPath, BuiltRootAloneHasDepthZeroAndNoPaths) {
    CXmlManager x;
    ASSERT_EQ(x.AddElem(u"r", u"t"), 1);
    std::u16string t;
    EXPECT_EQ(x.GetDepth(), 0);
    EXPECT_EQ(x.GetElemData(u"r", t), 0);
    ASSERT_EQ(x.AddChildElem(u"a"), 1);
    EXPECT_EQ(x.GetDepth(), 1);
    EXPECT_EQ(x.GetElemData(u"r", t), 1);
    EXPECT_EQ(t, u"t");
    EXPECT_EQ(x.GetDepth(), 1);  // reading it does not change it
}

TEST(XmlManagerCopy, CopyDuplicatesTreeAndCursors) {
    CXmlManager a;
    ASSERT_EQ(a.SetDoc(u"<r><a k=\"1\">x</a><b/></r>"), 1);
    ASSERT_EQ(a.Into(), 1);
    ASSERT_EQ(a.Find(u"b"), 1);
    CXmlManager b(a);
    EXPECT_EQ(Str(b.GetName()), u"b");
    EXPECT_EQ(b.GetDoc(), a.GetDoc());
    b.SetElemData(u"r\\a", u"changed");
    std::u16string t;
    a.GetElemData(u"r\\a", t);
    EXPECT_EQ(t, u"x");
    CXmlManager c;
    c = b;
    c = c;
    EXPECT_EQ(c.GetDoc(), b.GetDoc());
    CXmlManager d(std::move(c));
    EXPECT_EQ(d.GetDoc(), b.GetDoc());
    EXPECT_EQ(c.GetDoc(), u"");  // NOLINT: moved-from is empty and usable
    EXPECT_EQ(c.AddElem(u"n"), 1);
    EXPECT_EQ(c.GetDoc(), u"<n/>");
}

TEST(XmlManagerCopy, DeepBuiltTreeCopiesAndFreesWithoutRecursion) {
    CXmlManager x;
    ASSERT_EQ(x.AddElem(u"e"), 1);
    for (int i = 0; i < 200000; ++i) {
        ASSERT_TRUE(x.Into() && x.AddElem(u"e"));
    }
    CXmlManager y(x);
    EXPECT_EQ(y.GetDepth(), 200000);
    x = CXmlManager();
    EXPECT_EQ(x.GetDoc(), u"");
}

}  // namespace
