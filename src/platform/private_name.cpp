#include "platform/private_name.h"

#include <random>

namespace tamarind::platform {

std::string RandomTag() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
  std::string tag(6, '\0');
  for (char& c : tag) c = kAlphabet[pick(device)];
  return tag;
}

std::string PrivateNameFor(std::string_view name) {
  return std::string(name.substr(0, kMaxStemBytes)) + "." + RandomTag() + ".tmp";
}

uint64_t NameHash(std::string_view name) {
  uint64_t hash = 0xcbf29ce484222325u;
  for (char c : name) hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3u;
  return hash;
}

}  // namespace tamarind::platform
