// The .reg text format: parsing what regedit and we write, and surviving what we do not.
#include "platform/RegistryHive.h"

#include <QString>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using vx::reg::RegistryHive;
using vx::reg::Value;
using vx::reg::ValueType;
using namespace std::string_literals;

namespace {

constexpr const char* kRoot = "HKEY_CURRENT_USER";

RegistryHive::ParseResult parse(std::string_view text) { return RegistryHive::parse(text, kRoot); }

// A value as text the tests write out literally, read field by field: "sz:<text>",
// "expand:<text>", "dword:<decimal>", "binary:<hex bytes>", "other(<type>):<hex bytes>";
// "(none)" for no value.
std::string shown(const Value* v) {
  if (!v) return "(none)";
  std::string hex;
  for (uint8_t b : v->bytes) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", b);
    hex += (hex.empty() ? "" : " ") + std::string(two);
  }
  switch (v->type) {
    case ValueType::Sz: return "sz:" + v->text;
    case ValueType::ExpandSz: return "expand:" + v->text;
    case ValueType::Dword: return "dword:" + std::to_string(v->dword);
    case ValueType::Binary: return "binary:" + hex;
    case ValueType::Other: return "other(" + std::to_string(v->rawType) + "):" + hex;
  }
  return "?";
}

}  // namespace

TEST(RegistryHive, ParsesEveryValueFormRegeditWrites) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; a comment\r\n"
      "[HKEY_CURRENT_USER\\Software\\Vellumdex\\vxdown\\General]\r\n"
      "@=\"default\"\r\n"
      "\"FileLocation\"=\"C:\\\\work\\\\loans.txt\"\r\n"
      "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Blob\"=hex:01,02,ff,\\\r\n"
      "  10,20\r\n"
      "\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
      "\"Multi\"=hex(7):61,00,00,00,00,00\r\n";
  const auto r = parse(text);
  EXPECT_TRUE(r.problems.empty()) << r.problems.front().message;
  ASSERT_EQ(r.hive.keys().size(), 1u);
  EXPECT_EQ(r.hive.keys()[0].path, "Software\\Vellumdex\\vxdown\\General");
  const struct {
    const char* name;
    const char* value;
  } expected[] = {{"", "sz:default"},
                  {"FileLocation", "sz:C:\\work\\loans.txt"},
                  {"Quote", "sz:say \"hi\""},
                  {"Count", "dword:42"},
                  {"Blob", "binary:01 02 ff 10 20"},
                  {"Path", "expand:%A%"},
                  {"Multi", "other(7):61 00 00 00 00 00"}};
  ASSERT_EQ(r.hive.keys()[0].values.size(), std::size(expected));
  for (const auto& e : expected)
    EXPECT_EQ(shown(r.hive.findValue("Software\\Vellumdex\\vxdown\\General", e.name)), e.value) << e.name;
}

TEST(RegistryHive, SerializedFormParsesBackToTheSameHive) {
  RegistryHive h;
  const std::string key = "Software\\Vellumdex\\Test";
  h.setValue(key, "", Value::sz("root default"));
  h.setValue(key, "Plain", Value::sz("æøå \\ \" ; [x]"));
  h.setValue(key, "Lines", Value::sz("one\r\ntwo\n"));  // cannot be written as quoted text
  h.setValue(key, "Nul", Value::sz(std::string("a\0b", 3)));
  h.setValue(key, "Expand", Value::expandSz("%HOME%/\xF0\x9F\x93\x9A"));  // a non-BMP char
  h.setValue(key, "Max", Value::fromDword(0xffffffffu));
  std::vector<uint8_t> big(300);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  h.setValue(key, "Big", Value::binary(big));
  h.setValue(key, "Empty", Value::binary({}));
  h.setValue(key, "Name with \"quotes\" and \\", Value::fromDword(1));
  h.createKey("Software\\Vellumdex\\EmptyKey");
  h.setValue("", "AtRoot", Value::fromDword(7));

  const std::string text = h.serialize(kRoot);
  for (std::size_t pos = 0, nl; (nl = text.find("\r\n", pos)) != std::string::npos; pos = nl + 2)
    EXPECT_LE(nl - pos, 80u) << "hex lines wrap like regedit's";
  // Each kind in the form regedit writes it.
  for (const char* line : {"[HKEY_CURRENT_USER\\Software\\Vellumdex\\Test]\r\n@=\"root default\"\r\n",
                           "\r\n\"Plain\"=\"æøå \\\\ \\\" ; [x]\"\r\n",
                           "\r\n\"Max\"=dword:ffffffff\r\n",
                           "\r\n\"Empty\"=hex:\r\n",
                           "\r\n\"Name with \\\"quotes\\\" and \\\\\"=dword:00000001\r\n",
                           "\r\n[HKEY_CURRENT_USER\\Software\\Vellumdex\\EmptyKey]\r\n",
                           "[HKEY_CURRENT_USER]\r\n\"AtRoot\"=dword:00000007\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  const auto r = parse(text);
  EXPECT_TRUE(r.problems.empty());
  EXPECT_EQ(r.hive, h);
  EXPECT_EQ(r.hive.serialize(kRoot), text);
}

TEST(RegistryHive, NamesCompareWithoutCaseAndKeepTheirFirstCase) {
  RegistryHive h;
  h.setValue("Software\\Vellumdex", "FileLocation", Value::sz("a"));
  h.setValue("SOFTWARE\\vellumdex\\", "FILELOCATION", Value::sz("b"));
  h.setValue("\\software\\\\VELLUMDEX", "Other", Value::fromDword(1));
  ASSERT_EQ(h.keys().size(), 1u);
  EXPECT_EQ(h.keys()[0].path, "Software\\Vellumdex");
  ASSERT_EQ(h.keys()[0].values.size(), 2u);
  EXPECT_EQ(h.keys()[0].values[0].name, "FileLocation");
  EXPECT_EQ(shown(h.findValue("software\\VELLUMDEX", "filelocation")), "sz:b");
  // Parents of a written key exist, siblings with a common prefix do not.
  EXPECT_TRUE(h.keyExists("SOFTWARE"));
  EXPECT_FALSE(h.keyExists("Soft"));
  EXPECT_FALSE(h.keyExists("Software\\Vellumdex\\Sub"));
  EXPECT_TRUE(h.deleteValue("software\\vellumdex", "OTHER"));
  EXPECT_FALSE(h.deleteValue("software\\vellumdex", "OTHER"));
  // Non-ASCII letters are kept as they are, not folded.
  h.setValue("Software", "Ø", Value::fromDword(1));
  EXPECT_EQ(shown(h.findValue("Software", "ø")), "(none)");
}

TEST(RegistryHive, RefusesNamesThatCannotBeWritten) {
  RegistryHive h;
  EXPECT_FALSE(h.setValue("Software\\Bad\x01Name", "x", Value::fromDword(1)));
  EXPECT_FALSE(h.setValue("Software", "line\nbreak", Value::fromDword(1)));
  EXPECT_FALSE(h.createKey(std::string("Soft\0ware", 9)));
  EXPECT_TRUE(h.keys().empty());
}

TEST(RegistryHive, DamagedTextKeepsEverythingThatCanBeUnderstood) {
  const std::string text = (
      "Windows Registry Editor Version 5.00\n"
      "[HKEY_CURRENT_USER\\Good]\n"
      "\"A\"=\"kept\"\n"
      "garbage line\n"
      "\"B\"=dword:xyz\n"
      "\"Nul\"=\"x\0y\"\n"
      "\"C\"=dword:00000003\n"
      "[HKEY_LOCAL_MACHINE\\Elsewhere]\n"
      "\"D\"=\"not ours\"\n"
      "[HKEY_CURRENT_USER\\Unclosed\n"
      "\"E\"=\"lost\"\n"
      "[HKEY_CURRENT_USER\\Good]\n"
      "\"F\"=hex:01,zz\n"
      "\"G\"=\"unterminated\n"
      "\"H\"=hex:0a,0b\n"
      "\x89PNG\x1a\xff\xfe junk\n"s);
  const auto r = parse(text);
  ASSERT_EQ(r.hive.keys().size(), 1u) << "Good alone";
  ASSERT_EQ(r.hive.keys()[0].values.size(), 3u);
  EXPECT_EQ(shown(r.hive.findValue("Good", "A")), "sz:kept");
  EXPECT_EQ(shown(r.hive.findValue("Good", "C")), "dword:3");
  EXPECT_EQ(shown(r.hive.findValue("Good", "H")), "binary:0a 0b");
  // garbage, B, Nul, foreign key, its value, unclosed header, its value, F, G, junk
  EXPECT_EQ(r.problems.size(), 10u);
  EXPECT_EQ(r.problems.front().line, 4u);
}

TEST(RegistryHive, TruncatedHexIsDroppedAndTheNextLineStillCounts) {
  const auto atEnd = parse("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n"
                           "\"A\"=dword:00000001\n\"T\"=hex:01,02,\\\n");
  EXPECT_EQ(atEnd.problems.size(), 1u);
  EXPECT_EQ(shown(atEnd.hive.findValue("K", "T")), "(none)");
  EXPECT_EQ(shown(atEnd.hive.findValue("K", "A")), "dword:1");

  const auto beforeValue = parse("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n"
                                 "\"T\"=hex:01,02,\\\n\"B\"=dword:00000002\n");
  EXPECT_EQ(beforeValue.problems.size(), 1u);
  EXPECT_EQ(shown(beforeValue.hive.findValue("K", "B")), "dword:2");
}

TEST(RegistryHive, HeaderAndEncodingVariants) {
  EXPECT_TRUE(parse("").problems.empty());
  EXPECT_TRUE(parse("\n  \r\n").problems.empty());
  EXPECT_TRUE(parse("").hive.keys().empty());

  const auto noHeader = parse("[HKEY_CURRENT_USER\\K]\n\"A\"=\"x\"\n");
  ASSERT_EQ(noHeader.problems.size(), 1u);
  EXPECT_EQ(shown(noHeader.hive.findValue("K", "A")), "sz:x");

  const auto regedit4 = parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"A\"=\"x\"\n");
  EXPECT_TRUE(regedit4.problems.empty());

  // regedit's own export encoding: UTF-16LE with BOM.
  const std::string utf8 = "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\K]\r\n\"Å\"=\"ü\"\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : QString::fromStdString(utf8).toStdU16String()) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  const auto wide = parse(utf16);
  EXPECT_TRUE(wide.problems.empty());
  EXPECT_EQ(shown(wide.hive.findValue("K", "Å")), "sz:ü");

  const auto bom8 = parse("\xEF\xBB\xBF" + utf8);
  EXPECT_TRUE(bom8.problems.empty());
  EXPECT_EQ(shown(bom8.hive.findValue("K", "Å")), "sz:ü");
}

TEST(RegistryHive, TextThatWouldNotSurviveDecodingIsKeptAsRawBytes) {
  // An odd number of bytes and a lone surrogate cannot become UTF-8 exactly.
  const auto r = parse("Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n"
                       "\"Odd\"=hex(2):41,00,42\n\"Lone\"=hex(1):00,d8,00,00\n");
  EXPECT_TRUE(r.problems.empty());
  EXPECT_EQ(shown(r.hive.findValue("K", "Odd")), "other(2):41 00 42");
  EXPECT_EQ(shown(r.hive.findValue("K", "Lone")), "other(1):00 d8 00 00");
  const auto again = parse(r.hive.serialize(kRoot));
  EXPECT_EQ(again.hive, r.hive);
}
