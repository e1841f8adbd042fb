// TVXRegistry: where its values live and how each variant type is stored and read back.
#include "platform/Registry.h"
#include "tests/support/TempDir.h"
#include "vxcomp/settings/ui/FormProp.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>

namespace reg = vx::reg;
using vx::Variant;

namespace {

// The test executable's file name, which the components use as the program name.
const std::string kProgram = "vx_settings_test";
const std::string kGeneral = "\\Software\\Vellumdex\\" + kProgram + "\\General";

struct Fixture : testing::Test {
  vxtest::TempDir tmp;
  QWidget window;
  std::unique_ptr<TVXRegistry> registry;

  Fixture() {
    window.setObjectName("FVXSysDn");
    registry = std::make_unique<TVXRegistry>(&window);
  }
  TVXRegistry& loaded(TVXRegistryKeyHive root = rhCurrentUser, const QString& myKey = {}) {
    registry->setRootKey(root);
    registry->setMyKey(myKey);
    registry->Loaded();
    return *registry;
  }
  std::optional<reg::Value> stored(const std::string& name, reg::Hive hive = reg::Hive::CurrentUser) {
    return reg::readValue(hive, kGeneral, name);
  }
};

double doubleFrom(const std::vector<uint8_t>& b) {
  EXPECT_EQ(b.size(), 8u);
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | b.at(static_cast<std::size_t>(i));
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace

using RegistrySettings = Fixture;

TEST_F(RegistrySettings, KeyPathsFollowRootProgramSectionAndMyKey) {
  EXPECT_EQ(registry->keyPath(), "") << "nothing is composed before loading completes";
  EXPECT_EQ(TVXReg::programName(), kProgram);
  EXPECT_EQ(loaded().keyPath(), kGeneral);
  EXPECT_EQ(registry->owningWindow(), &window);

  TVXRegistry sub(&window);
  sub.setMyKey("Import");
  sub.Loaded();
  EXPECT_EQ(sub.keyPath(), kGeneral + "\\Import");

  TVXRegistry allUsers(&window);
  allUsers.setRootKey(rhAllUsers);
  allUsers.Loaded();
  EXPECT_EQ(allUsers.keyPath(), ".DEFAULT" + kGeneral);
  ASSERT_TRUE(allUsers.WriteSetting("Where", Variant::fromString("users")));
  EXPECT_NE(vxtest::readAll(reg::hiveFilePath(reg::Hive::Users))
                .find("[HKEY_USERS\\.DEFAULT\\Software\\Vellumdex\\" + kProgram + "\\General]"),
            std::string::npos);

  TVXRegistry machine(&window);
  machine.setRootKey(rhMachine);
  machine.Loaded();
  EXPECT_EQ(machine.keyPath(), kGeneral);
  ASSERT_TRUE(machine.WriteSetting("Where", Variant::fromString("machine")));
  EXPECT_EQ(stored("Where", reg::Hive::LocalMachine)->text, "machine");
  EXPECT_FALSE(stored("Where"));

  // Design mode composes nothing and only makes the component active.
  TVXRegistry design(&window);
  design.setDesigning(true);
  design.setActive(false);
  design.Loaded();
  EXPECT_TRUE(design.active());
  EXPECT_EQ(design.keyPath(), "");
}

TEST_F(RegistrySettings, EverySupportedVariantTypeIsStoredAsItsKindAndReadsBack) {
  auto& r = loaded();
  ASSERT_TRUE(r.WriteSetting("Small", Variant::fromSmallInt(-12)));
  ASSERT_TRUE(r.WriteSetting("Int", Variant::fromInt(-2000000000)));
  ASSERT_TRUE(r.WriteSetting("Single", Variant::fromSingle(0.1f)));
  ASSERT_TRUE(r.WriteSetting("Double", Variant::fromDouble(0.1 + 0.2)));
  ASSERT_TRUE(r.WriteSetting("Money", Variant::fromCurrency(-123456789)));  // -12345.6789
  ASSERT_TRUE(r.WriteSetting("When", Variant::fromDate(45322.7654321)));
  ASSERT_TRUE(r.WriteSetting("Flag", Variant::fromBool(true)));
  ASSERT_TRUE(r.WriteSetting("FileLocation", Variant::fromString("/home/desk/lån.txt")));

  // The numbers, the flag and the text as the hive file holds them.
  const std::string file = vxtest::readAll(reg::hiveFilePath(reg::Hive::CurrentUser));
  for (const char* line : {"\r\n\"Small\"=dword:fffffff4\r\n", "\r\n\"Int\"=dword:88ca6c00\r\n",
                           "\r\n\"Flag\"=dword:00000001\r\n", "\r\n\"FileLocation\"=\"/home/desk/lån.txt\"\r\n"})
    EXPECT_NE(file.find(line), std::string::npos) << line << "\n" << file;
  EXPECT_EQ(stored("Single")->type, reg::ValueType::Binary);
  EXPECT_EQ(doubleFrom(stored("Single")->bytes), static_cast<double>(0.1f));
  EXPECT_EQ(doubleFrom(stored("Double")->bytes), 0.1 + 0.2);
  EXPECT_EQ(stored("Money")->bytes,
            (std::vector<uint8_t>{0xeb, 0x32, 0xa4, 0xf8, 0xff, 0xff, 0xff, 0xff}));
  EXPECT_EQ(doubleFrom(stored("When")->bytes), 45322.7654321);

  // Each read takes the kind from the type of the default it is given.
  Variant v = Variant::fromSmallInt(0);
  ASSERT_TRUE(r.ReadSetting("Small", v));
  EXPECT_EQ(v, Variant::fromInt(-12));
  v = Variant::fromInt(0);
  ASSERT_TRUE(r.ReadSetting("Int", v));
  EXPECT_EQ(v, Variant::fromInt(-2000000000));
  v = Variant::fromSingle(0);
  ASSERT_TRUE(r.ReadSetting("Single", v));
  EXPECT_EQ(v, Variant::fromDouble(static_cast<double>(0.1f)));
  v = Variant::fromDouble(0);
  ASSERT_TRUE(r.ReadSetting("Double", v));
  EXPECT_EQ(v, Variant::fromDouble(0.1 + 0.2)) << "no precision lost on the way";
  v = Variant::fromCurrency(0);
  ASSERT_TRUE(r.ReadSetting("Money", v));
  EXPECT_EQ(v, Variant::fromCurrency(-123456789));
  v = Variant::fromDate(0);
  ASSERT_TRUE(r.ReadSetting("When", v));
  EXPECT_EQ(v, Variant::fromDate(45322.7654321));
  v = Variant::fromBool(false);
  ASSERT_TRUE(r.ReadSetting("Flag", v));
  EXPECT_EQ(v, Variant::fromBool(true));
  v = Variant::fromString("");
  ASSERT_TRUE(r.ReadSetting("FileLocation", v));
  EXPECT_EQ(v, Variant::fromString("/home/desk/lån.txt"));

  // A string written by someone else as REG_EXPAND_SZ reads as a string too.
  ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, kGeneral, "Expand", reg::Value::expandSz("%HOME%")));
  v = Variant::fromString("");
  ASSERT_TRUE(r.ReadSetting("Expand", v));
  EXPECT_EQ(v.toString(), "%HOME%");
}

TEST_F(RegistrySettings, AMissingValueLeavesTheDefault) {
  auto& r = loaded();
  Variant location = Variant::fromString("");
  EXPECT_TRUE(r.ReadSetting("FileLocation", location));
  EXPECT_EQ(location, Variant::fromString(""));
  Variant count = Variant::fromInt(17);
  EXPECT_TRUE(r.ReadSetting("Count", count));
  EXPECT_EQ(count, Variant::fromInt(17));
  EXPECT_FALSE(std::filesystem::exists(reg::hiveFilePath(reg::Hive::CurrentUser)))
      << "reading creates nothing";
}

TEST_F(RegistrySettings, UnsupportedVariantTypesAreRefusedWithoutTouchingTheRegistry) {
  auto& r = loaded();
  const Variant unsupported[] = {Variant(), Variant::null(), Variant::fromWideString(u"wide"),
                                 Variant::fromByte(7), Variant::fromInt64(1) };
  for (const Variant& u : unsupported) {
    EXPECT_FALSE(r.WriteSetting("X", u));
    Variant copy = u;
    EXPECT_FALSE(r.ReadSetting("FileLocation", copy));
    EXPECT_EQ(copy, u);
  }
  EXPECT_FALSE(std::filesystem::exists(reg::hiveFilePath(reg::Hive::CurrentUser)));

  // Also when a value of that name exists: the read does not replace the variant.
  ASSERT_TRUE(r.WriteSetting("X", Variant::fromString("stored")));
  Variant wide = Variant::fromWideString(u"default");
  EXPECT_FALSE(r.ReadSetting("X", wide));
  EXPECT_EQ(wide, Variant::fromWideString(u"default"));
}

TEST_F(RegistrySettings, AValueOfAnotherRegistryTypeIsAnErrorAndKeepsTheDefault) {
  auto& r = loaded();
  const auto put = [](const char* name, const reg::Value& v) {
    ASSERT_TRUE(reg::writeValue(reg::Hive::CurrentUser, kGeneral, name, v));
  };
  put("Text", reg::Value::sz("12"));
  put("Number", reg::Value::fromDword(12));
  put("Short", reg::Value::binary({1, 2, 3, 4}));

  Variant i = Variant::fromInt(5);
  EXPECT_FALSE(r.ReadSetting("Text", i));
  EXPECT_EQ(i, Variant::fromInt(5));
  Variant b = Variant::fromBool(true);
  EXPECT_FALSE(r.ReadSetting("Text", b));
  EXPECT_EQ(b, Variant::fromBool(true));
  Variant s = Variant::fromString("keep");
  EXPECT_FALSE(r.ReadSetting("Number", s));
  EXPECT_EQ(s, Variant::fromString("keep"));
  Variant d = Variant::fromDouble(1.5);
  EXPECT_FALSE(r.ReadSetting("Short", d)) << "binary kinds need exactly 8 bytes";
  EXPECT_FALSE(r.ReadSetting("Number", d));
  EXPECT_EQ(d, Variant::fromDouble(1.5));
  Variant c = Variant::fromCurrency(1);
  EXPECT_FALSE(r.ReadSetting("Text", c));
  EXPECT_EQ(c, Variant::fromCurrency(1));
}

TEST_F(RegistrySettings, AnInactiveComponentReadsDefaultsAndStoresNothing) {
  auto& r = loaded();
  ASSERT_TRUE(r.WriteSetting("FileLocation", Variant::fromString("stored")));
  r.setActive(false);
  Variant v = Variant::fromString("default");
  EXPECT_TRUE(r.ReadSetting("FileLocation", v));
  EXPECT_EQ(v.toString(), "default");
  EXPECT_TRUE(r.WriteSetting("FileLocation", Variant::fromString("changed")));
  EXPECT_TRUE(r.WriteSetting("Other", Variant::fromInt(1)));
  EXPECT_EQ(stored("FileLocation")->text, "stored");
  EXPECT_FALSE(stored("Other"));
}

TEST_F(RegistrySettings, AFailedWriteIsReportedAsFailure) {
  // Without a composed key there is nowhere to write.
  EXPECT_FALSE(registry->WriteSetting("FileLocation", Variant::fromString("x")));
  auto& r = loaded(rhMachine);
  std::filesystem::permissions(tmp.registryDir(), std::filesystem::perms::owner_read |
                                                      std::filesystem::perms::owner_exec);
  EXPECT_FALSE(r.WriteSetting("FileLocation", Variant::fromString("x")));
  Variant v = Variant::fromString("default");
  EXPECT_TRUE(r.ReadSetting("FileLocation", v)) << "reading needs no write access";
  std::filesystem::permissions(tmp.registryDir(), std::filesystem::perms::owner_all);
}

// The inner kinds that ReadSetting never chooses, and conversions between variant types.
TEST_F(RegistrySettings, InnerKindsConvertTheVariantAsTheirTypeSays) {
  auto& r = loaded();
  using K = TVXReg::ValueKind;
  const double when = 45322.75;  // 2024-01-31 18:00
  ASSERT_TRUE(r.writeValue("Date", K::Date, Variant::fromDate(when)));
  ASSERT_TRUE(r.writeValue("Time", K::Time, Variant::fromDate(when)));
  ASSERT_TRUE(r.writeValue("DateText", K::Date, Variant::fromString("2024-01-31")));
  ASSERT_TRUE(r.writeValue("StampText", K::DateTime, Variant::fromString("2024-01-31T18:00:00")));
  ASSERT_TRUE(r.writeValue("FloatText", K::Float, Variant::fromString("1234.5")));
  ASSERT_TRUE(r.writeValue("Money", K::Currency, Variant::fromDouble(12.3456)));
  ASSERT_TRUE(r.writeValue("IntText", K::Integer, Variant::fromString(" 42 ")));
  ASSERT_TRUE(r.writeValue("Name", K::String, Variant::fromInt(-7)));
  ASSERT_TRUE(r.writeValue("On", K::Boolean, Variant::fromInt(5)));
  EXPECT_FALSE(r.writeValue("Bad", K::Integer, Variant::fromString("forty")));
  EXPECT_FALSE(r.writeValue("Bad", K::Integer, Variant::fromDouble(1e12)));
  EXPECT_FALSE(r.writeValue("Bad", K::DateTime, Variant::fromString("not a date")));
  EXPECT_FALSE(stored("Bad"));

  Variant v;
  ASSERT_TRUE(r.readValue("Date", K::Date, v));
  EXPECT_EQ(v, Variant::fromDate(45322.0));
  ASSERT_TRUE(r.readValue("Time", K::Time, v));
  EXPECT_EQ(v, Variant::fromDate(0.75));
  ASSERT_TRUE(r.readValue("DateText", K::Date, v));
  EXPECT_EQ(v, Variant::fromDate(45322.0));
  ASSERT_TRUE(r.readValue("StampText", K::DateTime, v));
  EXPECT_EQ(v, Variant::fromDate(when));
  ASSERT_TRUE(r.readValue("FloatText", K::Float, v));
  EXPECT_EQ(v, Variant::fromDouble(1234.5));
  ASSERT_TRUE(r.readValue("Money", K::Currency, v));
  EXPECT_EQ(v, Variant::fromCurrency(123456));
  ASSERT_TRUE(r.readValue("IntText", K::Integer, v));
  EXPECT_EQ(v, Variant::fromInt(42));
  ASSERT_TRUE(r.readValue("Name", K::String, v));
  EXPECT_EQ(v, Variant::fromString("-7"));
  ASSERT_TRUE(r.readValue("On", K::Boolean, v));
  EXPECT_EQ(v, Variant::fromBool(true));
  ASSERT_TRUE(r.readValue("Missing", K::Float, v));
  EXPECT_TRUE(v.isNull());
}
