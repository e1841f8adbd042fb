#include "i18n/FormData.h"

namespace vx::i18n {

namespace {

constexpr const char* kEndsEarly = "The stored form data ends early";
constexpr const char* kNotFound = "Could not find the property";
constexpr std::size_t kMaxCharBytes = 4;

EIvDictionaryError unknownValue(std::uint8_t code) {
  return EIvDictionaryError(
      {vx::MessagePart::piece("Unknown property value: "), vx::MessagePart::value(std::to_string(code))});
}

bool isKnownType(std::uint8_t code) { return code <= static_cast<std::uint8_t>(FormValueType::Char); }

// Nothing, or one lead byte and its continuation bytes (up to 4 bytes in all).
bool isOneCharacter(std::string_view utf8) {
  if (utf8.size() > kMaxCharBytes) return false;
  for (std::size_t i = 1; i < utf8.size(); ++i)
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) return false;
  return utf8.empty() || (static_cast<unsigned char>(utf8[0]) & 0xC0) != 0x80;
}

}  // namespace

std::string formValueTypeName(std::uint8_t code) {
  switch (static_cast<FormValueType>(code)) {
    case FormValueType::End: return "the end of the list";
    case FormValueType::List: return "a list";
    case FormValueType::Integer: return "an integer";
    case FormValueType::String: return "a string";
    case FormValueType::False:
    case FormValueType::True: return "a boolean";
    case FormValueType::Char: return "a character";
  }
  return "a value of type " + std::to_string(code);
}

// --- FormWriter ---

void FormWriter::writeInteger(std::int32_t value) {
  bytes_.push_back(static_cast<char>(FormValueType::Integer));
  const auto u = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<char>((u >> shift) & 0xFF));
}

void FormWriter::writeString(std::string_view utf8) {
  if (utf8.size() > 0xFFFFFFFFu) throw EIvDictionaryError("A text is too long for a stored form");
  bytes_.push_back(static_cast<char>(FormValueType::String));
  const auto n = static_cast<std::uint32_t>(utf8.size());
  for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<char>((n >> shift) & 0xFF));
  bytes_.append(utf8);
}

void FormWriter::writeBoolean(bool value) {
  bytes_.push_back(static_cast<char>(value ? FormValueType::True : FormValueType::False));
}

void FormWriter::writeChar(std::string_view utf8) {
  if (!isOneCharacter(utf8)) throw EIvDictionaryError("'" + std::string(utf8) + "' is not one character");
  bytes_.push_back(static_cast<char>(FormValueType::Char));
  bytes_.push_back(static_cast<char>(utf8.size()));
  bytes_.append(utf8);
}

void FormWriter::beginList() { bytes_.push_back(static_cast<char>(FormValueType::List)); }
void FormWriter::endList() { bytes_.push_back(static_cast<char>(FormValueType::End)); }

void FormWriter::writeName(std::string_view name) {
  if (name.size() > kMaxFormNameLength)
    throw EIvDictionaryError("The name " + std::string(name) + " is longer than 255 bytes");
  bytes_.push_back(static_cast<char>(name.size()));
  bytes_.append(name);
}

// --- FormReader ---

std::uint8_t FormReader::peekByte() const {
  if (pos_ >= data_.size()) throw EIvDictionaryError(kEndsEarly);
  return static_cast<std::uint8_t>(data_[pos_]);
}

std::uint8_t FormReader::byte() {
  const std::uint8_t b = peekByte();
  ++pos_;
  return b;
}

std::string_view FormReader::take(std::size_t n) {
  if (n > data_.size() - pos_) throw EIvDictionaryError(kEndsEarly);
  const std::string_view part = data_.substr(pos_, n);
  pos_ += n;
  return part;
}

FormValueType FormReader::peekType() const {
  const std::uint8_t code = peekByte();
  if (!isKnownType(code)) throw unknownValue(code);
  return static_cast<FormValueType>(code);
}

namespace {

[[noreturn]] void wrongType(std::string_view expected, std::uint8_t found, std::string_view what) {
  std::string message = "Expected " + std::string(expected);
  if (!what.empty()) message += " for " + std::string(what);
  throw EIvDictionaryError(message + ", found " + formValueTypeName(found));
}

std::uint32_t littleEndian32(std::string_view b) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[0])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[3])) << 24;
}

}  // namespace

std::int32_t FormReader::readInteger(std::string_view what) {
  const FormValueType t = peekType();
  if (t != FormValueType::Integer) wrongType("an integer", static_cast<std::uint8_t>(t), what);
  ++pos_;
  return static_cast<std::int32_t>(littleEndian32(take(4)));
}

std::string FormReader::readString(std::string_view what) {
  const FormValueType t = peekType();
  if (t != FormValueType::String) wrongType("a string", static_cast<std::uint8_t>(t), what);
  ++pos_;
  const std::uint32_t n = littleEndian32(take(4));
  return std::string(take(n));
}

bool FormReader::readBoolean(std::string_view what) {
  const FormValueType t = peekType();
  if (t != FormValueType::False && t != FormValueType::True)
    wrongType("a boolean", static_cast<std::uint8_t>(t), what);
  ++pos_;
  return t == FormValueType::True;
}

std::string FormReader::readChar(std::string_view what) {
  const FormValueType t = peekType();
  if (t != FormValueType::Char) wrongType("a character", static_cast<std::uint8_t>(t), what);
  ++pos_;
  const std::uint8_t n = byte();
  if (n > kMaxCharBytes) throw EIvDictionaryError("A character value is longer than 4 bytes");
  const std::string_view c = take(n);
  if (!isOneCharacter(c)) throw EIvDictionaryError("A character value holds more than one character");
  return std::string(c);
}

void FormReader::beginList(std::string_view what) {
  const FormValueType t = peekType();
  if (t != FormValueType::List) wrongType("a list", static_cast<std::uint8_t>(t), what);
  ++pos_;
}

void FormReader::endList(std::string_view what) {
  const FormValueType t = peekType();
  if (t != FormValueType::End) wrongType("the end of the list", static_cast<std::uint8_t>(t), what);
  ++pos_;
}

void FormReader::skipValue() {
  // Open lists are counted rather than recursed into, so deep nesting cannot exhaust the stack.
  std::size_t depth = 0;
  do {
    const std::uint8_t code = byte();
    switch (code) {
      case static_cast<std::uint8_t>(FormValueType::End):
        // An end marker where a value belongs is no value.
        if (depth == 0) throw unknownValue(code);
        --depth;
        break;
      case static_cast<std::uint8_t>(FormValueType::List): ++depth; break;
      case static_cast<std::uint8_t>(FormValueType::Integer): take(4); break;
      case static_cast<std::uint8_t>(FormValueType::String): take(littleEndian32(take(4))); break;
      case static_cast<std::uint8_t>(FormValueType::False):
      case static_cast<std::uint8_t>(FormValueType::True): break;
      case static_cast<std::uint8_t>(FormValueType::Char): {
        const std::uint8_t n = byte();
        if (n > kMaxCharBytes) throw EIvDictionaryError("A character value is longer than 4 bytes");
        take(n);
        break;
      }
      default: throw unknownValue(code);
    }
  } while (depth > 0);
}

std::string_view FormReader::takeValue() {
  const std::size_t start = pos_;
  skipValue();
  return data_.substr(start, pos_ - start);
}

std::string FormReader::readName() { return std::string(take(byte())); }

void FormReader::skipName() { take(byte()); }

void FormReader::readSignature() {
  if (data_.size() - pos_ < sizeof kStoredFormSignature ||
      data_.substr(pos_, sizeof kStoredFormSignature) !=
          std::string_view(kStoredFormSignature, sizeof kStoredFormSignature))
    throw EIvDictionaryError("The data is not a stored form (no VXF1 signature)");
  pos_ += sizeof kStoredFormSignature;
}

void FormReader::skipProperties() {
  for (std::uint8_t n = byte(); n != 0; n = byte()) {
    take(n);
    skipValue();
  }
}

void FormReader::skipComponentBody() {
  skipProperties();
  // The component lists still open: this component's, then those of nested components.
  std::size_t open = 1;
  while (open > 0) {
    const std::uint8_t n = byte();
    if (n == 0) {
      --open;
      continue;
    }
    take(n);  // class name
    skipName();
    skipProperties();
    ++open;
  }
}

// --- Stored forms ---

namespace {

void writeComponents(FormWriter& w, const std::vector<StoredComponent>& components) {
  for (const StoredComponent& c : components) {
    if (c.className.empty()) throw EIvDictionaryError("A stored component has no class name");
    w.writeName(c.className);
    w.writeName(c.name);
    for (const auto& [name, value] : c.properties) {
      if (name.empty()) throw EIvDictionaryError("A property of " + c.name + " has no name");
      FormReader check(value);
      bool wellFormed = false;
      try {
        check.skipValue();
        wellFormed = check.atEnd();
      } catch (const EIvDictionaryError&) {
      }
      if (!wellFormed)
        throw EIvDictionaryError("The value of the property " + name + " of " + c.name +
                                 " is not one stored value");
      w.writeName(name);
      w.writeRaw(value);
    }
    w.writeName({});
    writeComponents(w, c.components);
  }
  w.writeName({});
}

}  // namespace

std::string writeStoredForm(const StoredForm& form) {
  FormWriter w;
  w.writeRaw(std::string_view(kStoredFormSignature, sizeof kStoredFormSignature));
  w.writeName(form.className);
  w.writeName(form.name);
  writeComponents(w, form.components);
  return w.take();
}

std::pair<std::string, std::string> readStoredFormHeader(std::string_view formData) {
  FormReader r(formData);
  r.readSignature();
  std::string className = r.readName();
  std::string name = r.readName();
  return {std::move(className), std::move(name)};
}

std::string_view findStoredProperty(std::string_view formData, std::string_view className,
                                    std::string_view componentName,
                                    std::string_view propertyName) {
  FormReader r(formData);
  r.readSignature();
  r.skipName();
  r.skipName();
  for (;;) {
    const std::string cls = r.readName();
    if (cls.empty()) throw EIvDictionaryError(kNotFound);
    const std::string name = r.readName();
    if (cls != className || name != componentName) {
      r.skipComponentBody();
      continue;
    }
    for (;;) {
      const std::string property = r.readName();
      if (property.empty()) throw EIvDictionaryError(kNotFound);
      if (property == propertyName) return r.takeValue();
      r.skipValue();
    }
  }
}

}  // namespace vx::i18n
