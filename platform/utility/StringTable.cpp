#include "StringTable.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace vesk {

namespace {

struct RegisteredTable {
  void* module;
  const StringResource* resources;
  std::vector<StringResource> sortedById;
};

class ResourceRegistry {
 public:
  void add(void* module, const StringResource* resources, std::size_t count) {
    RegisteredTable table{module, resources, {resources, resources + count}};
    std::sort(table.sortedById.begin(), table.sortedById.end(),
              [](const StringResource& a, const StringResource& b) { return a.id < b.id; });
    std::lock_guard lock(mutex_);
    tables_.push_back(std::move(table));
  }

  void remove(void* module, const StringResource* resources) {
    std::lock_guard lock(mutex_);
    std::erase_if(tables_, [&](const RegisteredTable& table) {
      return table.module == module && table.resources == resources;
    });
  }

  const char* find(void* module, int id) const {
    std::lock_guard lock(mutex_);
    for (const RegisteredTable& table : tables_) {
      if (table.module != module) {
        continue;
      }
      const auto found = std::lower_bound(
          table.sortedById.begin(), table.sortedById.end(), id,
          [](const StringResource& resource, int wanted) { return resource.id < wanted; });
      if (found != table.sortedById.end() && found->id == id) {
        return found->text;
      }
    }
    return nullptr;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<RegisteredTable> tables_;
};

// Never destroyed: modules withdraw their tables from their own unload code, which may run
// after this library's static objects are gone.
ResourceRegistry& registry() {
  static ResourceRegistry* const instance = new ResourceRegistry;
  return *instance;
}

}  // namespace

StringTable::~StringTable() = default;

const StdString StringTable::operator[](int id) const {
  if (const char* text = registry().find(instance(), id)) {
    return StdString(text);
  }
  return StdString("Message " + std::to_string(id) + " is missing from the string table");
}

void StringTable::registerResources(void* module, const StringResource* resources,
                                    std::size_t count) {
  registry().add(module, resources, count);
}

void StringTable::withdrawResources(void* module, const StringResource* resources) {
  registry().remove(module, resources);
}

void* StringTable::moduleOf(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0) {
    return nullptr;
  }
  return info.dli_fbase;
}

}  // namespace vesk
