#pragma once
// In-memory form of one registry root and its .reg export text.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wintypes.h"

namespace ov::reg {

// One named value; the default value has an empty name.
struct Value {
    std::u16string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

// One key: its path below the root as created ("" for the root itself,
// components joined by "\") and its values in creation order.
struct Key {
    std::u16string path;
    std::vector<Value> values;
};

// All keys of a root, indexed by the case-folded path. The root key ("")
// always exists; every key's parent exists. Keys sharing a path prefix are
// neighbours in the index, so a key's subtree is one contiguous range.
struct Hive {
    std::map<std::u16string, Key> keys;

    Hive();
    // Clears the hive back to an empty root.
    void Reset();
    Key* Find(std::u16string_view foldedPath);
    // Creates the key and any missing parents; display gives the case of the
    // new components. True when something was created.
    bool Create(std::u16string_view display);
    // Display names of the direct subkeys of foldedPath, in index order.
    std::vector<std::u16string> Children(std::u16string_view foldedPath) const;
    // Removes the key and everything below it (never the root itself).
    void EraseTree(std::u16string_view foldedPath);
};

// Case folding used for every name comparison (ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic letters).
char16_t FoldChar(char16_t c) noexcept;
std::u16string Fold(std::u16string_view text);
Value* FindValue(Key& key, std::u16string_view name);

// Parses .reg export text of the root named rootName into hive. On failure
// returns false and describes the first fault (with its line) in error.
bool ParseHive(std::string_view text, std::u16string_view rootName, Hive& hive, std::string& error);
// .reg export text of hive under the root named rootName.
std::string SerializeHive(const Hive& hive, std::u16string_view rootName);

}  // namespace ov::reg
