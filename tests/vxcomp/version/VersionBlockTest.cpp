// Version blocks: the layout the writer produces (which Windows' readers must accept), and how
// the reader copes with blocks whose lengths lie or that nest without end.
#include "vxcomp/version/VersionBlock.h"
#include "vxcomp/version/VersionBlockWriter.h"
#include "vxcomp/version/VersionInfo.h"

#include <gtest/gtest.h>

using namespace vx::version;

namespace {

std::string le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
// A key or text in UTF-16LE with its NUL.
std::string wide(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += le16(static_cast<unsigned char>(c));
  return out + le16(0);
}
std::string zeros(std::size_t n) { return std::string(n, '\0'); }

TEST(VersionBlock, WriterLaysOutNodesOnFourByteBoundaries) {
  FixedFileInfo f;
  f.fileVersion = {2, 6, 1, 4};
  f.productVersion = {2, 5, 0, 3};
  f.fileOS = 0x40004;
  f.fileType = 1;
  // Texts of odd length, so that every node but the root ends off a 32-bit boundary.
  const std::string block = writeVersionBlock({f, {{0x0409, 0x04E4, {{"A", "bc"}, {"D", "ef"}}}}});

  const std::string fixedInfo = le32(0xFEEF04BD) + le32(0x00010000) + le32(0x00020006) + le32(0x00010004) +
                                le32(0x00020005) + le32(0x00000003) + le32(0x3F) + le32(0) + le32(0x40004) +
                                le32(1) + le32(0) + le32(0) + le32(0);
  const std::string expected =
      le16(260) + le16(52) + le16(0) + wide("VS_VERSION_INFO") + zeros(2) + fixedInfo +
      le16(98) + le16(0) + le16(1) + wide("StringFileInfo") +
      le16(62) + le16(0) + le16(1) + wide("040904E4") +
      le16(18) + le16(3) + le16(1) + wide("A") + zeros(2) + wide("bc") + zeros(2) +
      le16(18) + le16(3) + le16(1) + wide("D") + zeros(2) + wide("ef") + zeros(2) +
      le16(68) + le16(0) + le16(1) + wide("VarFileInfo") + zeros(2) +
      le16(36) + le16(4) + le16(0) + wide("Translation") + zeros(2) + le16(0x0409) + le16(0x04E4);
  EXPECT_EQ(block, expected);
}

// A table of three strings, one of whose header fields lies; the reader keeps what it can and
// never reads outside the block.
TEST(VersionBlock, StringsWhoseLengthsLieAreCutOrEndTheTable) {
  struct Case {
    const char* what;
    std::size_t field;  // offset in the String node: 0 length, 2 value length
    unsigned value;
    const char* company;
    const char* description;
    const char* product;
  } cases[] = {
      {"length beyond the table", 0, 0xFFFF, "A", "B", ""},
      {"length shorter than the header", 0, 3, "A", "", ""},
      {"length that cuts the key", 0, 10, "A", "", ""},
      {"value length beyond the node", 2, 0x7FFF, "A", "B", "C"},
      {"value length zero", 2, 0, "A", "", "C"},
  };
  const std::string good = writeVersionBlock(
      {FixedFileInfo{}, {{0x0409, 0x04E4, {{"CompanyName", "A"}, {"FileDescription", "B"}, {"ProductName", "C"}}}}});
  const std::size_t at = good.find(wide("FileDescription")) - 6;
  for (const auto& c : cases) {
    std::string block = good;
    block.replace(at + c.field, 2, le16(c.value));
    const auto root = parseVersionBlock(block);
    ASSERT_TRUE(root) << c.what;
    TVersionInfo info;
    fillFromStringTable(*root, stringTablePath(0x0409, 0x04E4), info);
    EXPECT_EQ(info.CompanyName, c.company) << c.what;
    EXPECT_EQ(info.FileDescription, c.description) << c.what;
    EXPECT_EQ(info.ProductName, c.product) << c.what;
  }
}

TEST(VersionBlock, NodesBelowTheDepthLimitAreNotRead) {
  // A chain "X" in "X" in ... as deep as a block can hold: nodes of 12 bytes around each other.
  const std::size_t levels = 5000;
  std::string block;
  for (std::size_t i = 0; i < levels; ++i) {
    const std::size_t length = 12 * (levels - i);
    block += le16(static_cast<unsigned>(std::min<std::size_t>(length, 0xFFFF))) + le16(0) + le16(1) + wide("X") + zeros(2);
  }
  const auto root = parseVersionBlock(block);
  ASSERT_TRUE(root);
  std::string path;
  for (int depth = 1; depth < kMaxBlockDepth; ++depth) path += "\\x";
  EXPECT_NE(findBlock(*root, path), nullptr);
  EXPECT_EQ(findBlock(*root, path + "\\X"), nullptr);
}

TEST(VersionBlock, RootsThatCannotBeReadGiveNothing) {
  for (const std::string& bytes : {std::string(), zeros(5), le16(5) + zeros(10), le16(40) + zeros(4) + "XYXYXYXY"})
    EXPECT_FALSE(parseVersionBlock(bytes)) << bytes.size();
}

}  // namespace
