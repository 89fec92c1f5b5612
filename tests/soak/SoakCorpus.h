#pragma once
// The texts a soak corrects: a fixed pool made from a seed, short, medium and near the largest
// chunk, with misspellings, phrasing the contextual style rewrites, text that must stay byte for
// byte (addresses, links, tags) and characters beyond the Basic Multilingual Plane, whose two
// UTF-16 units each count towards the price.
#include <QString>
#include <cstdint>
#include <vector>

namespace quillo::soak {

struct SoakText {
    QString text;
    bool isShort = false; // what the accounts near zero send
};

namespace SoakCorpus {

std::vector<SoakText> make(std::uint32_t seed);

// The price in micro-credits the server's tariff sets for `utf16Units` at a speed: per started
// block of 500 units, 10000 at Fast and 18500 at Very Very Fast.
std::int64_t costMicro(qsizetype utf16Units, bool veryVeryFast);

} // namespace SoakCorpus

} // namespace quillo::soak
