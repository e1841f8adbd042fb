#include "vxcomp/version/FileInfoText.h"

#include <iterator>
#include <utility>

namespace vx::version {

namespace {

using Entry = std::pair<std::uint32_t, const char*>;

constexpr Entry kFileOS[] = {
    {0x00001, "Windows 3.0 or later"},
    {0x00002, "16 bit OS/2 Presentation Manager"},
    {0x00003, "32 bit OS/2 Presentation Manager"},
    {0x00004, "32 bit Windows"},
    {0x10000, "MS-Dos"},
    {0x10001, "Windows 3.0 or later with MS-Dos"},
    {0x10004, "32 bit Windows with MS-Dos"},
    {0x20000, "16 bit OS/2"},
    {0x20002, "16 bit OS/2 with Presentation Manager"},
    {0x30000, "32 bit OS/2"},
    {0x30003, "32 bit OS/2 with Presentation Manager"},
    {0x40000, "Windows NT"},
    {0x40004, "Windows NT with 32 bit Windows"},
};

constexpr Entry kFileType[] = {
    {1, "Application"},  {2, "Dynamic-Link Library"},  {3, "Device Driver"},
    {4, "Font"},         {5, "Virtual Device Driver"}, {7, "Static-Link Library"},
};

constexpr Entry kDriverSubtype[] = {
    {1, "Printer"}, {2, "Keyboard"}, {3, "Language"},     {4, "Display"},
    {5, "Mouse"},   {6, "Network"},  {7, "System"},       {8, "Installable"},
    {9, "Sound"},   {10, "Communications"},
};

constexpr Entry kFontSubtype[] = {{1, "Raster"}, {2, "Vector"}, {3, "TrueType"}};

template <std::size_t N>
std::string lookup(const Entry (&table)[N], std::uint32_t value) {
  for (const auto& [key, text] : table)
    if (key == value) return text;
  return "Unknown";
}

}  // namespace

std::string fileOSText(std::uint32_t fileOS) { return lookup(kFileOS, fileOS); }

std::string fileTypeText(std::uint32_t fileType) { return lookup(kFileType, fileType); }

std::optional<std::string> fileSubTypeText(std::uint32_t fileType, std::uint32_t fileSubtype) {
  if (fileType == kFileTypeDriver) return lookup(kDriverSubtype, fileSubtype);
  if (fileType == kFileTypeFont) return lookup(kFontSubtype, fileSubtype);
  return std::nullopt;
}

}  // namespace vx::version
