// Name lookups of the conversion (script elements to scene nodes, PARENT lines
// to elements, per-LOD mesh names) in one hash each instead of a scan over
// every name, so that models of many elements convert in linear time.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/ascii.h"

namespace modelconv {

// The first position of every name in a list of named records, names compared
// ignoring ASCII letter case: the match sceneread's find functions and a scan
// with common::equalsIgnoreCase return.
class NameIndex {
public:
    template <typename Record>
    explicit NameIndex(const std::vector<Record>& records) {
        first_.reserve(records.size());
        for (size_t i = 0; i < records.size(); ++i) first_.try_emplace(common::lowerCased(records[i].name), i);
    }

    std::optional<size_t> find(std::string_view name) const {
        const auto at = first_.find(common::lowerCased(name));
        if (at == first_.end()) return std::nullopt;
        return at->second;
    }

    // The record found in `records`, which must be the list the index was
    // built from; nullptr for none.
    template <typename Record>
    const Record* find(const std::vector<Record>& records, std::string_view name) const {
        const std::optional<size_t> at = find(name);
        return at ? &records[*at] : nullptr;
    }

private:
    std::unordered_map<std::string, size_t> first_;
};

}  // namespace modelconv
