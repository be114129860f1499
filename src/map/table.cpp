#include "map/table.h"

int TAB_hash(std::string_view text, int buckets) {
    if (buckets < 1)
        return 0;
    long h = 0;
    for (char c : text)
        h = (h * 257 + static_cast<signed char>(c)) % 35177; // C remainder: may go negative
    long b = h % buckets;
    return static_cast<int>(b < 0 ? b + buckets : b);
}
