#include "scene/texture_entries.h"

#include <new>

namespace kv {

bool TextureEntries::add(std::unique_ptr<TextureList> entry) {
  if (!entry) return false;
  TextureList *added = entry.get();
  const std::string_view name(added->name);
  try {
    list_.push_back(std::move(entry));
  } catch (const std::bad_alloc &) {
    return false;
  }
  bool newId = false;
  try {
    // Serial numbers never repeat; were one to, the older entry would keep it.
    newId = byId_.try_emplace(added->id, added).second;
    byName_.try_emplace(name, added);  // an older entry of the name stays the one found
  } catch (const std::bad_alloc &) {
    if (newId) byId_.erase(added->id);
    list_.pop_back();
    return false;
  }
  return true;
}

const TextureList *TextureEntries::findByName(const char *name) const {
  if (!name) return nullptr;
  const auto it = byName_.find(std::string_view(name));
  return it == byName_.end() ? nullptr : it->second;
}

const TextureList *TextureEntries::findById(TextureEntryId id) const {
  if (id == 0) return nullptr;
  const auto it = byId_.find(id);
  return it == byId_.end() ? nullptr : it->second;
}

void TextureEntries::clear() noexcept {
  byName_.clear();
  byId_.clear();
  list_.clear();
}

}  // namespace kv
