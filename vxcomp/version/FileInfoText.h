#pragma once
// The texts that both version readers show for the fixed information's file OS, file type and
// file subtype. These texts are what the about box and the exception log show and store; they
// are fixed (not translated).
#include <cstdint>
#include <optional>
#include <string>

namespace vx::version {

// File type values with a subtype.
inline constexpr std::uint32_t kFileTypeDriver = 3;
inline constexpr std::uint32_t kFileTypeFont = 4;

// "32 bit Windows" for 4, ...; "Unknown" for a value not in the table.
std::string fileOSText(std::uint32_t fileOS);

// "Application" for 1, ...; "Unknown" for a value not in the table.
std::string fileTypeText(std::uint32_t fileType);

// The subtype's text for a device driver ("Printer", ...) or a font ("Raster", ...), "Unknown"
// for a subtype not in its table; nullopt for the other file types, which have no subtype.
std::optional<std::string> fileSubTypeText(std::uint32_t fileType, std::uint32_t fileSubtype);

}  // namespace vx::version
