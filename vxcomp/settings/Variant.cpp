#include "vxcomp/settings/Variant.h"

#include <cassert>

namespace vx {

int16_t Variant::toSmallInt() const {
  assert(type_ == Type::SmallInt);
  return static_cast<int16_t>(int_);
}
int32_t Variant::toInt() const {
  assert(type_ == Type::Integer);
  return static_cast<int32_t>(int_);
}
float Variant::toSingle() const {
  assert(type_ == Type::Single);
  return static_cast<float>(real_);
}
double Variant::toDouble() const {
  assert(type_ == Type::Double);
  return real_;
}
int64_t Variant::toCurrency() const {
  assert(type_ == Type::Currency);
  return int_;
}
double Variant::toDate() const {
  assert(type_ == Type::Date);
  return real_;
}
bool Variant::toBool() const {
  assert(type_ == Type::Boolean);
  return int_ != 0;
}
const std::string& Variant::toString() const {
  assert(type_ == Type::String);
  return text_;
}
const std::u16string& Variant::toWideString() const {
  assert(type_ == Type::WideString);
  return wide_;
}
uint8_t Variant::toByte() const {
  assert(type_ == Type::Byte);
  return static_cast<uint8_t>(int_);
}
int64_t Variant::toInt64() const {
  assert(type_ == Type::Int64);
  return int_;
}

bool Variant::operator==(const Variant& other) const {
  return type_ == other.type_ && int_ == other.int_ && real_ == other.real_ &&
         text_ == other.text_ && wide_ == other.wide_;
}

}  // namespace vx
