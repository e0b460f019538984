// Case mapping tables for code units outside ASCII, sorted by `from`.
#pragma once

#include <cstddef>

struct CasePair {
    char16_t from;
    char16_t to;
};

extern const CasePair kLowerCasePairs[];
extern const size_t kLowerCasePairCount;
extern const CasePair kUpperCasePairs[];
extern const size_t kUpperCasePairCount;
