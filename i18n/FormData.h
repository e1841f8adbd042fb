#pragma once
// The program's stored-form encoding: typed values, and a stored form that holds components
// with their properties. Components that keep data of their own in their form (the dictionary
// with Storage ivsEmbedded) are written into a stored form at build time; the program reads
// the form back from its resources. Plain C++ (the fuzzer compiles it on its own).
//
// Values. Each value begins with a one-byte type code; numbers and lengths are little-endian:
//   0  end of a list (a marker, not a value)
//   1  list: values up to the end marker
//   2  integer: 4 bytes, signed
//   3  string: a 4-byte length, then that many bytes of UTF-8
//   4  false
//   5  true
//   6  character: a 1-byte length (0 to 4), then the UTF-8 bytes of one character (0: none)
//
// A stored form:
//   the signature "VXF1"
//   the form header: name (form class), name (form name)
//   components: component* then an empty name
//   component: name (class), name (component name), properties, components (nested ones)
//   properties: (name (property), value)* then an empty name
// A name is a 1-byte length and that many bytes; a class or property name is never empty.
//
// Reading never goes past the end of its input and never allocates more than the input holds;
// every failure is EIvDictionaryError.
#include "i18n/MLDTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vx::i18n {

enum class FormValueType : std::uint8_t {
  End = 0,
  List = 1,
  Integer = 2,
  String = 3,
  False = 4,
  True = 5,
  Char = 6,
};

inline constexpr char kStoredFormSignature[4] = {'V', 'X', 'F', '1'};
// The longest name (class, component or property) a stored form can hold.
inline constexpr std::size_t kMaxFormNameLength = 255;

// Builds values into a byte string.
class FormWriter {
 public:
  void writeInteger(std::int32_t value);
  // Fails when the text is longer than 4 GB (it never is).
  void writeString(std::string_view utf8);
  void writeBoolean(bool value);
  // One character (UTF-8, up to 4 bytes) or the empty text for none; anything longer fails.
  void writeChar(std::string_view utf8);
  void beginList();
  void endList();  // the end marker; lists nest
  // A name of the stored form's structure (not a value); longer than 255 bytes fails.
  void writeName(std::string_view name);
  // Bytes of an already encoded value (or of any part of a form), as they are.
  void writeRaw(std::string_view bytes) { bytes_.append(bytes); }

  const std::string& bytes() const { return bytes_; }
  std::string take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// Reads values from bytes that the reader does not own (they must outlive it).
class FormReader {
 public:
  explicit FormReader(std::string_view bytes) : data_(bytes) {}

  std::size_t position() const { return pos_; }
  bool atEnd() const { return pos_ == data_.size(); }

  // The type code of the next value, without consuming it; "Unknown property value: <n>" for
  // a code that is no type (the end marker is one).
  FormValueType peekType() const;
  // Whether the next byte is the end marker of the list being read.
  bool atListEnd() const { return peekType() == FormValueType::End; }

  // Each reads a value of its type; another type fails with "Expected an integer for <what>,
  // found a string" (without " for <what>" when `what` is empty).
  std::int32_t readInteger(std::string_view what = {});
  std::string readString(std::string_view what = {});
  bool readBoolean(std::string_view what = {});
  std::string readChar(std::string_view what = {});
  void beginList(std::string_view what = {});
  // Consumes the end marker of the list being read; a value there fails with "Expected the
  // end of the list for <what>, found ...".
  void endList(std::string_view what = {});

  // Skips one value of any type, lists with all they hold (no recursion, so no depth limit).
  void skipValue();
  // The encoded bytes of the next value (from its type code), which is skipped.
  std::string_view takeValue();

  // Parts of the stored form's structure.
  std::string readName();
  void skipName();
  // Skips the signature; a missing or different one fails.
  void readSignature();
  // Skips a whole component (its properties and every nested component) after its class
  // and component name were read.
  void skipComponentBody();
  // Skips property name and value pairs up to and including the empty name.
  void skipProperties();

 private:
  std::uint8_t byte();
  std::uint8_t peekByte() const;
  std::string_view take(std::size_t n);

  std::string_view data_;
  std::size_t pos_ = 0;
};

// The name of a value type for messages ("an integer", "a string", ...).
std::string formValueTypeName(std::uint8_t code);

// One component to store in a form: property values are encoded values (FormWriter).
struct StoredComponent {
  std::string className;
  std::string name;
  std::vector<std::pair<std::string, std::string>> properties;
  std::vector<StoredComponent> components;
};

struct StoredForm {
  std::string className;
  std::string name;
  std::vector<StoredComponent> components;
};

// The stored form's bytes. Fails on a name longer than 255 bytes, an empty class or property
// name, or a property value that is not exactly one well-formed value.
std::string writeStoredForm(const StoredForm& form);

// The form class and form name of a stored form's header (after checking the signature).
std::pair<std::string, std::string> readStoredFormHeader(std::string_view formData);

// The encoded value of the property `propertyName` of the component of class `className`
// named `componentName` directly under the form. Other components are skipped with all they
// hold; other properties are skipped by their value types. Fails with "Could not find the
// property" when the components or the component's properties run out, "Unknown property
// value: <n>" for a value of unknown type, and with a clear message on a bad signature or
// data that ends early. The view points into `formData`.
std::string_view findStoredProperty(std::string_view formData, std::string_view className,
                                    std::string_view componentName,
                                    std::string_view propertyName);

}  // namespace vx::i18n
