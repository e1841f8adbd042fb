// Fuzzes the embedded engine's check of a stored password hash (Db_User.Password_Hash, a
// column anybody with the file may have written): the input is "<password>\0<stored hash>".
//  - a hash not of the form "pbkdf2-sha256$<iterations>$<salt hex>$<key hex>" (iterations
//    1 to 10,000,000 in at most 8 digits, a salt, a 32-byte key) matches no password;
//  - a well-formed one matches exactly when its key is PBKDF2-HMAC-SHA256 of the password;
//  - a hash made for the password from the input's salt matches it, and neither another
//    password nor a changed key does.
// Hashes of more than kMostIterations iterations are left out: they are checked as any other,
// only slowly (the driver's own cap is what keeps a damaged row from hanging the login).
#include "db/SqliteDriver.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr long kMostIterations = 64;

using vx::db::SqliteDriver;

[[noreturn]] void fail(const char* what, std::string_view password, std::string_view stored) {
  std::fprintf(stderr, "%s: password [%.*s] hash [%.*s]\n", what, int(password.size()), password.data(),
               int(stored.size()), stored.data());
  std::abort();
}

std::optional<std::vector<unsigned char>> hexBytes(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::vector<unsigned char> out;
  for (size_t i = 0; i < hex.size(); i += 2) {
    int v = 0;
    for (char c : hex.substr(i, 2)) {
      v *= 16;
      if (c >= '0' && c <= '9') v += c - '0';
      else if (c >= 'a' && c <= 'f') v += c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') v += c - 'A' + 10;
      else return std::nullopt;
    }
    out.push_back(static_cast<unsigned char>(v));
  }
  return out;
}

struct Hash {
  long iterations = 0;
  std::vector<unsigned char> salt, key;
};

// The stored form as the driver's header describes it.
std::optional<Hash> wellFormed(std::string_view stored) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    const auto dollar = stored.find('$', start);
    parts.push_back(stored.substr(start, dollar == std::string_view::npos ? dollar : dollar - start));
    if (dollar == std::string_view::npos) break;
    start = dollar + 1;
  }
  if (parts.size() != 4 || parts[0] != "pbkdf2-sha256") return std::nullopt;
  if (parts[1].empty() || parts[1].size() > 8) return std::nullopt;
  Hash h;
  for (char c : parts[1]) {
    if (c < '0' || c > '9') return std::nullopt;
    h.iterations = h.iterations * 10 + (c - '0');
  }
  auto salt = hexBytes(parts[2]);
  auto key = hexBytes(parts[3]);
  if (h.iterations < 1 || h.iterations > 10'000'000 || !salt || salt->empty() || !key || key->size() != 32)
    return std::nullopt;
  h.salt = std::move(*salt);
  h.key = std::move(*key);
  return h;
}

std::vector<unsigned char> pbkdf2(std::string_view password, const std::vector<unsigned char>& salt, long iterations) {
  std::vector<unsigned char> key(32);
  if (PKCS5_PBKDF2_HMAC(password.data(), int(password.size()), salt.data(), int(salt.size()), int(iterations),
                        EVP_sha256(), int(key.size()), key.data()) != 1)
    std::abort();
  return key;
}

std::string hex(const std::vector<unsigned char>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

// The digits of the iteration field, when it has only digits: how long a check may take.
std::optional<unsigned long long> iterationField(std::string_view stored) {
  const auto first = stored.find('$');
  if (first == std::string_view::npos) return std::nullopt;
  const auto second = stored.find('$', first + 1);
  const std::string_view field = stored.substr(first + 1, second == std::string_view::npos ? second : second - first - 1);
  unsigned long long v = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v > 1'000'000'000'000ULL ? v : v * 10 + unsigned(c - '0');
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The driver's own hashes are of the stored form and match their password only.
  const std::string made = SqliteDriver::hashPassword("desk 1");
  if (!wellFormed(made) || !SqliteDriver::verifyPassword("desk 1", made) ||
      SqliteDriver::verifyPassword("desk 2", made))
    fail("hashPassword() made a hash that does not check", "desk 1", made);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const auto nul = input.find('\0');
  const std::string password = input.substr(0, nul);
  const std::string stored = nul == std::string::npos ? std::string() : input.substr(nul + 1);

  if (const auto n = iterationField(stored); n && *n > kMostIterations) return -1;
  const bool matches = SqliteDriver::verifyPassword(password, stored);
  const auto h = wellFormed(stored);
  if (!h) {
    if (matches) fail("a malformed hash matches", password, stored);
  } else if (matches != (pbkdf2(password, h->salt, h->iterations) == h->key)) {
    fail(matches ? "a hash matches a password it was not made from" : "a hash does not match its password",
         password, stored);
  }

  // A hash made here for the password, with the stored text as its salt.
  const std::vector<unsigned char> salt(stored.begin(), stored.begin() + long(std::min<size_t>(stored.size(), 64)));
  if (salt.empty()) return 0;
  const long iterations = 1 + long(password.size() % 8);
  const std::vector<unsigned char> key = pbkdf2(password, salt, iterations);
  const std::string made = "pbkdf2-sha256$" + std::to_string(iterations) + "$" + hex(salt) + "$";
  if (!SqliteDriver::verifyPassword(password, made + hex(key))) fail("a hash does not match its password", password, made);
  if (SqliteDriver::verifyPassword(password + '\x01', made + hex(key)))
    fail("a hash matches another password", password, made);
  std::vector<unsigned char> changed = key;
  changed[data[0] % changed.size()] ^= static_cast<unsigned char>(1u << (data[size - 1] % 8));
  if (SqliteDriver::verifyPassword(password, made + hex(changed))) fail("a changed key matches", password, made);
  return 0;
}
