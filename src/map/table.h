// Hash table of the city database: each item is stored once and found by one to three
// text keys, each key with its own bucket array. Items also stay in the order they were
// entered. Keys compare exactly (case matters).
//
// Trap: the bucket hash runs over signed characters, so a key with bytes above 127
// gives a negative remainder; it is folded back into the bucket range.
#pragma once

#include <deque>
#include <new>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int TAB_MAX_KEYS = 3;

template <class Item> struct TAB {
    struct Entry {
        std::string key;
        Item *item;
    };
    int buckets = 0; // 0: not created
    int keys = 0;    // 1..3
    std::deque<Item> items;
    std::vector<std::vector<Entry>> chains[TAB_MAX_KEYS]; // [key][bucket]
};

// Bucket of a key text among n buckets: h = (257 h + c) mod 35177 over the characters.
int TAB_hash(std::string_view text, int buckets);

// An empty table of `buckets` buckets (at least 1) and 1..3 keys; 0, or -1 for a bad
// key count or when memory runs out.
template <class Item> int TAB_create(TAB<Item> *t, int buckets, int keys) {
    if (!t || keys < 1 || keys > TAB_MAX_KEYS)
        return -1;
    *t = TAB<Item>{};
    try {
        t->buckets = buckets < 1 ? 1 : buckets;
        t->keys = keys;
        for (int k = 0; k < keys; ++k)
            t->chains[k].resize(static_cast<size_t>(t->buckets));
    } catch (const std::bad_alloc &) {
        *t = TAB<Item>{};
        return -1;
    }
    return 0;
}

// Copies item into the table under keys key1.. (one per table key). 0, or -1 when the
// table was not created or memory runs out.
template <class Item>
int TAB_enter(TAB<Item> *t, Item item, std::string_view key1, std::string_view key2 = {},
              std::string_view key3 = {}) {
    if (!t || t->buckets < 1)
        return -1;
    const std::string_view keys[TAB_MAX_KEYS] = {key1, key2, key3};
    size_t bucket[TAB_MAX_KEYS] = {0, 0, 0};
    for (int k = 0; k < t->keys; ++k)
        bucket[k] = static_cast<size_t>(TAB_hash(keys[k], t->buckets));
    try {
        // Everything that allocates comes before the item goes in, so that running out of
        // memory enters nothing.
        std::string copies[TAB_MAX_KEYS];
        for (int k = 0; k < t->keys; ++k) {
            copies[k] = keys[k];
            t->chains[k][bucket[k]].reserve(t->chains[k][bucket[k]].size() + 1);
        }
        t->items.push_back(std::move(item));
        Item *stored = &t->items.back();
        for (int k = 0; k < t->keys; ++k)
            t->chains[k][bucket[k]].push_back({std::move(copies[k]), stored});
    } catch (const std::bad_alloc &) {
        return -1;
    }
    return 0;
}

// The first item entered under `key` as key number key_number (1..keys); null if none.
template <class Item> Item *TAB_search(TAB<Item> *t, int key_number, std::string_view key) {
    if (!t || t->buckets < 1 || key_number < 1 || key_number > t->keys)
        return nullptr;
    for (auto &e : t->chains[key_number - 1][static_cast<size_t>(TAB_hash(key, t->buckets))])
        if (e.key == key)
            return e.item;
    return nullptr;
}

// Bucket of a key text in this table.
template <class Item> int TAB_key(const TAB<Item> *t, std::string_view text) {
    return t ? TAB_hash(text, t->buckets) : 0;
}
