// Deterministic generators of realistic service answers for the benchmarks.
// The same seed gives the same bytes on every machine.
#pragma once

#include <cstdint>
#include <string>

namespace gen {

// Jackett's aggregated results answer with `rows` result objects (about 500
// to 800 bytes each, with the odd string-typed number, offset dates and
// fractions, category arrays and null members as Jackett sends them; rows in
// runs per tracker, as Jackett concatenates its indexers' answers) and a list
// of 12 indexers. Rows with an IMDb number carry `imdb` in about half of
// the cases, another one otherwise.
std::string jackett(int rows, uint64_t seed = 1, int64_t imdb = 133093);

// A Sonarr v3 release list of `rows` release objects.
std::string releases(int rows, uint64_t seed = 2);

// Jackett's Torznab indexer list with `n` indexers (about 9 in 10 configured).
std::string torznab(int n, uint64_t seed = 3);

// A Sonarr v3 series lookup answer with `n` series; the middle one is
// tt0903747.
std::string lookup(int n, uint64_t seed = 4);

} // namespace gen
