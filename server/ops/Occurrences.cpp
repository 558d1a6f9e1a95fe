#include "server/ops/Occurrences.h"

#include <random>

namespace server {

namespace {

// Read aloud over the telephone without doubt: no i, l, o or u.
constexpr char kAlphabet[] = "0123456789abcdefghjkmnpqrstvwxyz";

}  // namespace

Occurrences::Occurrences() {
    std::random_device entropy;
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kAlphabet) - 2);
    for (int i = 0; i < 6; ++i) {
        prefix_ += kAlphabet[pick(entropy)];
    }
}

std::string Occurrences::next() {
    return prefix_ + '-' + std::to_string(++count_);
}

}  // namespace server
