#include <map>
#include <string>

#include "framework/Forms.h"

namespace fw {

namespace {

std::map<std::string, std::string, std::less<>>& Descriptions() {
  static std::map<std::string, std::string, std::less<>> descriptions;
  return descriptions;
}

}  // namespace

void RegisterFormDescription(std::string_view UnitName, std::string_view Text) {
  Descriptions().insert_or_assign(std::string(UnitName), std::string(Text));
}

std::string_view FindFormDescription(std::string_view UnitName) {
  const auto& d = Descriptions();
  auto it = d.find(UnitName);
  return it == d.end() ? std::string_view() : std::string_view(it->second);
}

}  // namespace fw
