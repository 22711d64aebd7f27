// The one hash table of the mesh conversion, and the bucketed index built on
// it. Both store entry numbers (indices into data the caller owns) and learn
// an entry's key from a traits object:
//
//   struct Traits {
//       using Key = ...;
//       Key-or-const-Key& keyOf(std::uint32_t entry) const;
//       static std::uint64_t hash(const Key& key);  // equal keys hash alike
//       static bool equal(const Key& a, const Key& b);
//   };
//
// The traits may refer to a growing std::vector of the caller's: keyOf is only
// called for entries already inserted.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

namespace modelconv {

inline constexpr std::uint32_t kNoEntry = std::numeric_limits<std::uint32_t>::max();

inline std::uint64_t hashWords(std::initializer_list<std::uint32_t> words) {
    std::uint64_t h = 0x243F6A8885A308D3ull;
    for (std::uint32_t word : words) {
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 32;
    }
    return h;
}

// Keys compared as floats with == must hash -0 and +0 alike.
inline std::uint32_t floatKeyBits(float f) { return f == 0.0f ? 0u : std::bit_cast<std::uint32_t>(f); }

// Open addressing with linear probing, at most half full. Each slot keeps the
// low 32 bits of its entry's hash, so growing never asks for keys and most
// probes that miss never touch the caller's data.
template <typename Traits>
class HashTable {
public:
    using Key = typename Traits::Key;

    explicit HashTable(Traits traits) : traits_(std::move(traits)) {}

    // Room for `count` entries without growing.
    void reserve(size_t count) {
        const size_t size = sizeFor(count);
        if (size > slots_.size()) rehash(size);
    }

    // Empties the table for new traits, with room for `count` entries: the
    // storage stays, so a table reused for many meshes is allocated once.
    void reset(size_t count, Traits traits) {
        traits_ = std::move(traits);
        slots_.assign(sizeFor(count), Slot{});
        count_ = 0;
    }

    // The entry whose key equals `key`, or kNoEntry.
    std::uint32_t find(const Key& key) const {
        if (slots_.empty()) return kNoEntry;
        const auto hash = static_cast<std::uint32_t>(Traits::hash(key));
        const size_t mask = slots_.size() - 1;
        for (size_t at = hash & mask;; at = (at + 1) & mask) {
            const Slot& slot = slots_[at];
            if (slot.entry == kNoEntry) return kNoEntry;
            if (slot.hash == hash && Traits::equal(traits_.keyOf(slot.entry), key)) return slot.entry;
        }
    }

    // Adds `entry`, whose key is `key`; find(key) must have missed.
    void insert(const Key& key, std::uint32_t entry) {
        if (2 * (count_ + 1) > slots_.size()) rehash(slots_.empty() ? kFirstSize : 2 * slots_.size());
        place({static_cast<std::uint32_t>(Traits::hash(key)), entry});
        ++count_;
    }

    const Traits& traits() const { return traits_; }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t entry = kNoEntry;
    };
    static constexpr size_t kFirstSize = 16;

    static size_t sizeFor(size_t count) {
        size_t size = kFirstSize;
        while (size < 2 * count) size *= 2;
        return size;
    }

    void place(Slot slot) {
        const size_t mask = slots_.size() - 1;
        size_t at = slot.hash & mask;
        while (slots_[at].entry != kNoEntry) at = (at + 1) & mask;
        slots_[at] = slot;
    }
    void rehash(size_t size) {
        std::vector<Slot> old(size);
        old.swap(slots_);
        for (const Slot& slot : old)
            if (slot.entry != kNoEntry) place(slot);
    }

    std::vector<Slot> slots_;
    size_t count_ = 0;
    Traits traits_;
};

// Entries filed under buckets 0..bucketCount-1 (a position id, a vertex
// index). A bucket is a short chain, which keeps the mesh's memory locality;
// a bucket that grows past kShortList entries moves into one hash table
// shared by all such buckets, which keeps fans (one vertex in every face) and
// collapsed meshes (every corner at one position) linear. Keys must determine
// their bucket, so that keys of different buckets never compare equal.
template <typename Traits>
class BucketIndex {
public:
    using Key = typename Traits::Key;
    static constexpr std::uint32_t kShortList = 16;

    BucketIndex(size_t bucketCount, Traits traits) : chains_(bucketCount), long_(std::move(traits)) {}

    // Empties the index for `bucketCount` buckets and new traits, keeping its
    // storage, with room for entries up to `entries` without growing.
    void reset(size_t bucketCount, Traits traits, size_t entries = 0) {
        chains_.assign(bucketCount, Chain{});
        next_.clear();
        next_.reserve(entries);
        long_.reset(0, std::move(traits));
    }

    // The entry in `bucket` whose key equals `key`, or kNoEntry.
    std::uint32_t find(std::uint32_t bucket, const Key& key) const {
        const Chain& chain = chains_[bucket];
        if (chain.length > kShortList) return long_.find(key);
        const Traits& traits = long_.traits();
        for (std::uint32_t entry = chain.first; entry != kNoEntry; entry = next_[entry])
            if (Traits::equal(traits.keyOf(entry), key)) return entry;
        return kNoEntry;
    }

    // Adds `entry`, whose key is `key`, to `bucket`; find(bucket, key) must
    // have missed.
    void insert(std::uint32_t bucket, const Key& key, std::uint32_t entry) {
        Chain& chain = chains_[bucket];
        if (chain.length > kShortList) {
            long_.insert(key, entry);
            return;
        }
        if (entry >= next_.size()) next_.resize(static_cast<size_t>(entry) + 1, kNoEntry);
        next_[entry] = chain.first;
        chain.first = entry;
        if (++chain.length > kShortList)
            for (std::uint32_t e = chain.first; e != kNoEntry; e = next_[e]) long_.insert(long_.traits().keyOf(e), e);
    }

private:
    struct Chain {
        std::uint32_t first = kNoEntry;
        std::uint32_t length = 0;
    };

    std::vector<Chain> chains_;
    std::vector<std::uint32_t> next_;  // per entry: the next entry of its chain
    HashTable<Traits> long_;
};

}  // namespace modelconv
