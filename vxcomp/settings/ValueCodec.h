#pragma once
// How a settings value is stored in the registry: the kinds a single value is read or written
// as, and the conversion of a variant to and from its registry value. Plain logic (Qt Core for
// dates and the user's regional settings), without a window.
//
//   Integer  REG_DWORD            String   REG_SZ (REG_EXPAND_SZ also read)
//   Boolean  REG_DWORD 0 or 1     Currency REG_BINARY, 8 bytes: int64 amount*10000
//   Date, DateTime, Time, Float   REG_BINARY, 8 bytes: the double (days since 1899-12-30
//                                 for the date kinds)
// All binary values are little-endian.
#include "platform/RegistryHive.h"
#include "vxcomp/settings/Variant.h"

#include <optional>

namespace vx::settings {

enum class ValueKind { Integer = 0, String, Boolean, Currency, Date, DateTime, Time, Float };

// The variant a stored value reads as: an Integer, String, Boolean, Currency, Date (date
// kinds) or Double (Float) variant. Nothing when the value's registry type does not fit the
// kind (or is not 8 bytes for the binary kinds).
std::optional<Variant> decodeValue(ValueKind kind, const vx::reg::Value& value);

// The registry value that stores `value` as `kind`. Date, DateTime and Time keep the day, the
// day and time, or the time of day; Float and the date kinds keep the double exactly. A
// String variant is parsed for the numeric and date kinds: first as locale-neutral text
// ("1234.5", ISO 8601 dates and times), then with the user's regional settings. Nothing when
// the variant cannot be converted to the kind.
std::optional<vx::reg::Value> encodeValue(ValueKind kind, const Variant& value);

}  // namespace vx::settings
