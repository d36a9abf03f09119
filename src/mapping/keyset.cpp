#include "mapping/keyset.h"

namespace orvo {

std::string UpperCased(std::string_view name) {
  std::string upper(name);
  for (char& ch : upper)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return upper;
}

Keyset* Mapper::FindOrCreate(std::string_view name, bool create) {
  std::string upper = UpperCased(name);
  if (Keyset* found = keysets_.Find(upper)) return found;
  if (!create) return nullptr;
  auto keyset = std::make_unique<Keyset>(upper);
  return keysets_.Insert(std::move(upper), std::move(keyset));
}

}  // namespace orvo
