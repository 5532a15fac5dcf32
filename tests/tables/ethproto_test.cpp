#include "ovmfcstd/OvEthProtocol.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_paths.h"

namespace {

class ProtoSample : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(proto.Open(TablesData("proto_sample.xml").c_str()), 1); }
    COvEthProtocol proto;
};

TEST(ProtoEmpty, LookupsBeforeOpenAreEmpty) {
    COvEthProtocol proto;
    EXPECT_EQ(proto.GetProtoDes(static_cast<unsigned short>(0x0800)), u"");
    EXPECT_EQ(proto.GetProtoDes(u"0800"), u"");
    EXPECT_EQ(proto.Open(TablesData("no_such_file.xml").c_str()), 0);
}

TEST_F(ProtoSample, SingleNumbersAndMissingOrBadEnds) {
    EXPECT_EQ(proto.GetProtoDes(0x0800), u"IPv4");
    EXPECT_EQ(proto.GetProtoDes(0x0801), u"");
    EXPECT_EQ(proto.GetProtoDes(0x0806), u"ARP");
    EXPECT_EQ(proto.GetProtoDes(0x0807), u"");
    // An end that is not four hexadecimal digits covers the start only.
    EXPECT_EQ(proto.GetProtoDes(0x8100), u"VLAN");
    EXPECT_EQ(proto.GetProtoDes(0x8101), u"");
    EXPECT_EQ(proto.GetProtoDes(0x8847), u"MPLS");
    EXPECT_EQ(proto.GetProtoDes(0x8848), u"");
    // "FFFF" is no number: as an end it covers the start only, as a start the
    // entry is dropped.
    EXPECT_EQ(proto.GetProtoDes(0xABCD), u"Open End");
    EXPECT_EQ(proto.GetProtoDes(0xABCE), u"");
    EXPECT_EQ(proto.GetProtoDes(0xFFFF), u"");
    // Bounds of either case.
    EXPECT_EQ(proto.GetProtoDes(0x08DD), u"Lower Case");
    // Starts that are not four hexadecimal digits are skipped.
    EXPECT_EQ(proto.GetProtoDes(0x0A23), u"");
    EXPECT_EQ(proto.GetProtoDes(0x3000), u"");
}

TEST_F(ProtoSample, RangesCoverStartToEnd) {
    EXPECT_EQ(proto.GetProtoDes(0x0000), u"Length");
    EXPECT_EQ(proto.GetProtoDes(0x02EE), u"Length");
    EXPECT_EQ(proto.GetProtoDes(0x05DC), u"Length");
    EXPECT_EQ(proto.GetProtoDes(0x05DD), u"");
    // Overlaps: the earlier entry wins, the later one keeps what is left.
    EXPECT_EQ(proto.GetProtoDes(0x0650), u"Wide");
    EXPECT_EQ(proto.GetProtoDes(0x0700), u"Wide");
    EXPECT_EQ(proto.GetProtoDes(0x0701), u"Later Overlap");
    EXPECT_EQ(proto.GetProtoDes(0x0710), u"Later Overlap");
    EXPECT_EQ(proto.GetProtoDes(0x0711), u"");
    // A range written with the larger bound first covers nothing.
    EXPECT_EQ(proto.GetProtoDes(0x8000), u"");
    EXPECT_EQ(proto.GetProtoDes(0x8800), u"");
    EXPECT_EQ(proto.GetProtoDes(0x9000), u"");
}

TEST_F(ProtoSample, TextLookups) {
    EXPECT_EQ(proto.GetProtoDes(u"0800"), u"IPv4");
    EXPECT_EQ(proto.GetProtoDes(u"08dd"), u"Lower Case");
    EXPECT_EQ(proto.GetProtoDes(u"02ee"), u"Length");
    for (const char16_t* text : {u"", u"080", u"08000", u"0x08", u" 800", u"08G0", u"FFFF", u"ffff"}) {
        EXPECT_EQ(proto.GetProtoDes(text), u"") << std::u16string(text).size();
    }
}

TEST_F(ProtoSample, FailedOpenKeepsTheListAndOpenReplacesIt) {
    EXPECT_EQ(proto.Open(TablesData("proto_wrong_root.xml").c_str()), 0);
    EXPECT_EQ(proto.GetProtoDes(0x0800), u"IPv4");
    EXPECT_EQ(proto.GetProtoDes(0x4000), u"");
    ASSERT_EQ(proto.Open(TablesData("proto_other.xml").c_str()), 1);
    EXPECT_EQ(proto.GetProtoDes(0x4000), u"Second File");
    EXPECT_EQ(proto.GetProtoDes(0x0800), u"");
    proto.RemoveAll();
    EXPECT_EQ(proto.GetProtoDes(0x4000), u"");
}

TEST(ProtoShipped, DefaultFileBesideTheLibrary) {
    ASSERT_TRUE(std::filesystem::exists(BinFile("EtherProto.dat"))) << "EtherProto.dat was not generated";
    COvEthProtocol proto;
    ASSERT_EQ(proto.Open(), 1);
    EXPECT_NE(proto.GetProtoDes(u"0800").find(u"IPv4"), std::u16string::npos);
    EXPECT_NE(proto.GetProtoDes(0x0806).find(u"ARP"), std::u16string::npos);
    EXPECT_NE(proto.GetProtoDes(0x86DD).find(u"IPv6"), std::u16string::npos);
    // The shipped ranges are written low bound first.
    EXPECT_NE(proto.GetProtoDes(0x0040).find(u"length"), std::u16string::npos);
    EXPECT_NE(proto.GetProtoDes(u"88B6").find(u"Experimental"), std::u16string::npos);
    EXPECT_EQ(proto.GetProtoDes(0x1234), u"");
}

}  // namespace
