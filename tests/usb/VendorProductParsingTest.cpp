#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "usb/DeviceDiscovery.h"

namespace {

using Korvane::DeviceDriver::OrbiZo::USB::parseVendorProduct;

struct PathCase {
    const char* name;
    std::string path;
    bool parses;
    std::uint32_t vendorId;
    std::uint32_t productId;
};

class VendorProductParsing : public testing::TestWithParam<PathCase> {};

TEST_P(VendorProductParsing, ReadsTheSecondPiece) {
    const PathCase& c = GetParam();
    std::uint32_t vendor = 0xDEAD;
    std::uint32_t product = 0xBEEF;
    ASSERT_EQ(c.parses, parseVendorProduct(c.path, vendor, product)) << c.path;
    if (c.parses) {
        EXPECT_EQ(c.vendorId, vendor) << std::hex << vendor;
        EXPECT_EQ(c.productId, product) << std::hex << product;
    } else {
        // A path that does not parse leaves the identifiers alone.
        EXPECT_EQ(0xDEADu, vendor);
        EXPECT_EQ(0xBEEFu, product);
    }
}

const std::string kClass = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

INSTANTIATE_TEST_SUITE_P(
    Paths, VendorProductParsing,
    testing::Values(
        PathCase{"LowerCase", "\\\\?\\usb#vid_abc&pid_123#SER1#" + kClass, true, 0xABC, 0x123},
        PathCase{"UpperCaseWithInterface",
                 "\\\\?\\USB#VID_ABC&PID_123&MI_00#6&2f1&0&0000#" + kClass, true, 0xABC, 0x123},
        PathCase{"MixedCaseDigits", "\\\\?\\usb#Vid_1209&Pid_7a03#x#" + kClass, true, 0x1209,
                 0x7A03},
        PathCase{"EmptyPiecesDropped", "\\\\?\\usb##vid_1&pid_2#s", true, 0x1, 0x2},
        PathCase{"LeadingHashDropped", "#usb#vid_0001&pid_0002", true, 0x1, 0x2},
        PathCase{"NoHash", "\\\\?\\usb_vid_abc&pid_123", false, 0, 0},
        PathCase{"OnlyOnePiece", "vid_abc&pid_123#", false, 0, 0},
        PathCase{"SecondPieceNotVid", "\\\\?\\usb#hid_abc&pid_123#s#" + kClass, false, 0, 0},
        PathCase{"NoProduct", "\\\\?\\usb#vid_abc#s", false, 0, 0},
        PathCase{"ProductNotHex", "\\\\?\\usb#vid_abc&pid_xyz#s", false, 0, 0},
        PathCase{"Empty", "", false, 0, 0}),
    [](const testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

}  // namespace
