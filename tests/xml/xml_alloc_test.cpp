// Failed allocations: every operation that allocates reports 0 (or an empty
// text) and leaves the tree as it was; nothing throws out of the library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "ovmfcstd/XmlManager.h"

namespace {

// Allocations left before the next one fails; negative: never fail.
long g_allocationsLeft = -1;

struct FailAfter {
    explicit FailAfter(long n) { g_allocationsLeft = n; }
    ~FailAfter() { g_allocationsLeft = -1; }
};

}  // namespace

void* operator new(std::size_t size) {
    if (g_allocationsLeft == 0) {
        throw std::bad_alloc();
    }
    if (g_allocationsLeft > 0) {
        --g_allocationsLeft;
    }
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

const char16_t kDoc[] =
    u"<?xml version=\"1.0\"?><r a=\"some long attribute value\" b=\"x&amp;y\">text before the children"
    u"<child k=\"v\">a long enough text to live on the heap</child><c/><d><e>deep text, heap too</e></d></r>";

TEST(XmlAlloc, ParseFailsCleanlyAtEveryAllocation) {
    // Enough content for the node storage to grow several times.
    std::u16string big = u"<r a=\"x&amp;y\">lead text";
    for (int i = 0; i < 300; ++i) {
        big += u"<child k=\"value &lt; long enough\">a long enough text to need storage</child>";
    }
    big += u"</r>";
    for (const char16_t* doc : {kDoc, big.c_str()}) {
        CXmlManager ok;
        ASSERT_EQ(ok.SetDoc(doc), 1);
        const std::u16string expected = ok.GetDoc();
        int failures = 0;
        for (long n = 0; n < 1000; ++n) {
            CXmlManager x;
            int result;
            {
                FailAfter fail(n);
                result = x.SetDoc(doc);
                x.GetDoc();
            }
            if (result) {
                EXPECT_EQ(x.GetDoc(), expected);
                break;  // enough allocations for the whole parse
            }
            ++failures;
        }
        EXPECT_GE(failures, 2);
    }
}

TEST(XmlAlloc, AddingFailsWithoutChangingTheTree) {
    for (long n = 0; n < 50; ++n) {
        CXmlManager x;
        ASSERT_EQ(x.SetDoc(nullptr), 1);
        ASSERT_EQ(x.AddElem(u"r"), 1);
        ASSERT_EQ(x.Into(), 1);
        ASSERT_EQ(x.AddElem(u"c", u"text long enough for the heap"), 1);
        int added, attr, copied;
        {
            FailAfter fail(n);
            added = x.AddElem(u"sibling", u"another text long enough for the heap");
            attr = x.AddAttr(u"name", u"a value long enough for the heap");
            CXmlManager copy(x);
            copied = !copy.GetDoc().empty();
        }
        if (!added) {
            // No half-added element; an attribute may have gone to c.
            EXPECT_EQ(x.GetDoc().substr(0, 3), u"<r>");
            EXPECT_EQ(x.GetDoc().find(u"sibling"), std::u16string::npos);
        }
        if (added && attr && copied) {
            return;  // the whole sequence fits
        }
    }
    ADD_FAILURE() << "never got through";
}

TEST(XmlAlloc, WritingReportsEmptyText) {
    CXmlManager x;
    ASSERT_EQ(x.SetDoc(kDoc), 1);
    std::u16string doc;
    {
        FailAfter fail(0);
        doc = x.GetDoc();
    }
    EXPECT_EQ(doc, u"");
    EXPECT_NE(x.GetDoc(), u"");
}

}  // namespace
