#include "Zelvar_WavetableCache.h"

#include <map>
#include <mutex>

namespace {

struct Store {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<const double[]>> sets;
};

// Never destroyed: engines released by static destructors elsewhere may still reach it.
Store& store() {
    static Store* instance = new Store;
    return *instance;
}

} // namespace

Zelvar_WavetableCache::Set Zelvar_WavetableCache::find(const std::string& key,
                                                       const std::function<Set()>& make) {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.sets.find(key);
    if (it != s.sets.end()) {
        if (Set held = it->second.lock())
            return held;
        s.sets.erase(it);
    }
    Set made = make();
    if (made)
        s.sets.emplace(key, made);
    return made;
}

size_t Zelvar_WavetableCache::liveSetCount() {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    size_t count = 0;
    for (const auto& entry : s.sets)
        count += entry.second.expired() ? 0 : 1;
    return count;
}
