// The scene's texture list: the entries in load order, owned, with two indexes so that
// neither a frame nor setupTextures walks the list: by serial number (what polygons hold)
// and by name (the oldest entry of each name; a later one of the same name is listed but
// never found by name).
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scene/texture_list.h"

namespace kv {

class TextureEntries {
 public:
  using List = std::vector<std::unique_ptr<TextureList>>;

  // Appends the entry at the end of the list; false, and the entry is dropped, when memory
  // runs out (the list and its indexes are then as they were). The entry's name and serial
  // number must not change afterwards.
  bool add(std::unique_ptr<TextureList> entry);

  const TextureList *findByName(const char *name) const;  // the oldest entry of that name
  const TextureList *findById(TextureEntryId id) const;   // null for 0 and entries gone

  // Destroys every entry, in list order. Allocates nothing.
  void clear() noexcept;

  size_t size() const { return list_.size(); }
  List::const_iterator begin() const { return list_.begin(); }
  List::const_iterator end() const { return list_.end(); }

 private:
  List list_;
  std::unordered_map<TextureEntryId, TextureList *> byId_;
  std::unordered_map<std::string_view, TextureList *> byName_;  // views of the entries' own names
};

}  // namespace kv
