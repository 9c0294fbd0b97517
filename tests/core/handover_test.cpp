#include "core/handover.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<unsigned char> block(const std::u16string& text, bool terminated) {
    std::vector<unsigned char> bytes;
    for (char16_t c : text) {
        bytes.push_back(c & 0xFF);
        bytes.push_back(c >> 8);
    }
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

TEST(Handover, TheSendersBlockHoldsThePathAndOneZero) {
    const std::u16string path = u"C:\\windows\\\u30e1\u30a4";
    const auto bytes = block(path, true);
    EXPECT_EQ(bytes.size(), handover_block_size(path.size()));
    EXPECT_EQ(read_handover_block(bytes.data(), bytes.size()), path);
    EXPECT_EQ(read_handover_block(bytes.data(), 0), u"");
}

TEST(Handover, ABlockWithoutAZeroIsReadToItsEndAndNoFurther) {
    // Exactly sized heap blocks: a read past them is a sanitizer report.
    const auto bytes = block(u"D:\\no\\end", false);
    auto* exact = new unsigned char[bytes.size()];
    std::copy(bytes.begin(), bytes.end(), exact);
    EXPECT_EQ(read_handover_block(exact, bytes.size()), u"D:\\no\\end");
    // An odd size leaves half a unit, which is not read.
    EXPECT_EQ(read_handover_block(exact, 3), u"D");
    delete[] exact;
}

TEST(Handover, TheFirstZeroEndsThePath) {
    auto bytes = block(u"C:\\a", true);
    const auto rest = block(u"junk", false);
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    EXPECT_EQ(read_handover_block(bytes.data(), bytes.size()), u"C:\\a");
}

} // namespace
