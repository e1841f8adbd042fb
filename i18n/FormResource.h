#pragma once
// The stored forms among the program's Qt resources: the stored form of a form class lies
// in the resource ":/forms/<form class name>" (written by mldc embed, FormData.h).
#include <string>

namespace vx::i18n {

inline constexpr const char* kStoredFormResourcePrefix = ":/forms/";

// The bytes of the stored form of `formClassName`. Fails with EIvDictionaryError "The stored
// form <name> is not among the program's resources" when there is none, and when it is
// larger than a stored form can reasonably be (64 MB).
std::string loadStoredFormResource(const std::string& formClassName);

}  // namespace vx::i18n
