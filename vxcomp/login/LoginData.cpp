#include "vxcomp/login/LoginData.h"

#include "platform/CodePage1252.h"
#include "platform/Registry.h"

#include <stdexcept>

namespace {

constexpr std::size_t kLoggedInAt = 0;
constexpr std::size_t kUserNameAt = 257;
constexpr std::size_t kPasswordAt = 513;

const std::string kLoginKey = "Software\\Vellumdex\\Login";
const std::string kCommonKey = kLoginKey + "\\CommonLogin";
const std::string kDefaultKey = kLoginKey + "\\Default";

std::string readString(const std::string& key, const std::string& name) {
  auto v = vx::reg::readValue(vx::reg::Hive::CurrentUser, key, name);
  if (!v || (v->type != vx::reg::ValueType::Sz && v->type != vx::reg::ValueType::ExpandSz)) return {};
  return v->text;
}

int readNumber(const std::string& key, const std::string& name, int fallback) {
  const std::string text = readString(key, name);
  try {
    std::size_t used = 0;
    const int n = std::stoi(text, &used);
    return used == text.size() ? n : fallback;
  } catch (const std::exception&) {
    return fallback;
  }
}

// The record is remembered for the next login where the registry can be written; where it
// cannot, this login goes on (the next one then asks again).
void writeString(const std::string& key, const std::string& name, const std::string& value) {
  (void)vx::reg::writeValue(vx::reg::Hive::CurrentUser, key, name, vx::reg::Value::sz(value));
}

// What a text field of the block keeps of `utf8`: its code page 1252 form, cut to 255 bytes.
std::string ansiField(const std::string& utf8) {
  std::string ansi = vx::cp1252::fromUtf8(utf8);
  if (ansi.size() > TLoginData::kMaxText) ansi.resize(TLoginData::kMaxText);
  return ansi;
}
std::string cutText(const std::string& utf8) { return vx::cp1252::toUtf8(ansiField(utf8)); }

[[noreturn]] void mapFailed() { throw std::runtime_error("TLoginData: Unable to map view of file"); }

}  // namespace

TLoginData::TLoginData(LoginScope scope) {
  if (scope == LoginScope::Process) {
    own_ = std::make_unique<Own>();
    return;
  }
  try {
    block_ = std::make_unique<vx::SharedMemory>(kBlockName, kBlockSize);
  } catch (const vx::SharedMemoryError&) {
    throw std::runtime_error("TLoginData: Memory-map file not created");
  }
  if (block_->existedBefore()) return;  // another program of the suite filled it
  LoadFromRegistry();
  setLoggedIn(false);
}

TLoginData::~TLoginData() = default;

bool TLoginData::LoggedIn() const {
  if (own_) return own_->loggedIn;
  unsigned char b = 0;
  try {
    block_->read(kLoggedInAt, &b, 1);
  } catch (const vx::SharedMemoryError&) {
    mapFailed();
  }
  return b == 1;
}

void TLoginData::setLoggedIn(bool on) {
  if (own_) {
    own_->loggedIn = on;
    return;
  }
  const unsigned char b = on ? 1 : 0;
  try {
    block_->write(kLoggedInAt, &b, 1);
  } catch (const vx::SharedMemoryError&) {
    mapFailed();
  }
  if (on) SaveToRegistry();
}

std::string TLoginData::readText(std::size_t offset) const {
  unsigned char field[256] = {};
  try {
    block_->read(offset, field, sizeof field);
  } catch (const vx::SharedMemoryError&) {
    mapFailed();
  }
  return vx::cp1252::toUtf8(std::string(reinterpret_cast<const char*>(field + 1), field[0]));
}

void TLoginData::writeText(std::size_t offset, const std::string& utf8) {
  const std::string ansi = ansiField(utf8);
  unsigned char field[256] = {};
  field[0] = static_cast<unsigned char>(ansi.size());
  ansi.copy(reinterpret_cast<char*>(field + 1), ansi.size());
  try {
    block_->write(offset, field, 1 + ansi.size());
  } catch (const vx::SharedMemoryError&) {
    mapFailed();
  }
}

std::string TLoginData::UserName() const { return own_ ? own_->user : readText(kUserNameAt); }
void TLoginData::setUserName(const std::string& name) {
  if (own_)
    own_->user = cutText(name);
  else
    writeText(kUserNameAt, name);
}
std::string TLoginData::Password() const { return own_ ? own_->password : readText(kPasswordAt); }
void TLoginData::setPassword(const std::string& password) {
  if (own_)
    own_->password = cutText(password);
  else
    writeText(kPasswordAt, password);
}

std::string TLoginData::Alias() const { return own_ ? own_->alias : readString(kCommonKey, "Alias"); }
void TLoginData::setAlias(const std::string& alias) {
  if (own_)
    own_->alias = alias;
  else
    writeString(kCommonKey, "Alias", alias);
}
int TLoginData::UnitID() const { return own_ ? own_->unitId : readNumber(kCommonKey, "UnitID", -1); }
void TLoginData::setUnitID(int id) {
  if (own_)
    own_->unitId = id;
  else
    writeString(kCommonKey, "UnitID", std::to_string(id));
}
std::string TLoginData::UnitName() const { return own_ ? own_->unitName : readString(kCommonKey, "UnitName"); }
void TLoginData::setUnitName(const std::string& name) {
  if (own_)
    own_->unitName = name;
  else
    writeString(kCommonKey, "UnitName", name);
}

void TLoginData::LoadFromRegistry() {
  if (own_) return;
  setAlias(readString(kDefaultKey, "Database"));
  setUserName(readString(kDefaultKey, "User"));
  const std::string userKey = kLoginKey + "\\" + Alias() + "\\" + UserName();
  setUnitID(readNumber(userKey, "UnitId", 0));
  setUnitName(readString(userKey, "UnitName"));
}

void TLoginData::SaveToRegistry() {
  if (own_) return;
  writeString(kDefaultKey, "Database", Alias());
  writeString(kDefaultKey, "User", UserName());
  const std::string userKey = kLoginKey + "\\" + Alias() + "\\" + UserName();
  writeString(userKey, "UnitId", std::to_string(UnitID()));
  writeString(userKey, "UnitName", UnitName());
}
