// The marker search must agree with the plain byte search everywhere, including at the ends of the
// data, where the sixteen-wide scan hands over to the byte-wise one.
#include "package/marker_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "runtime/text.h"

TEST(MarkerSearch, AgreesWithPlainByteSearch) {
  std::mt19937 rng(5);
  for (int round = 0; round < 20000; ++round) {
    // A two-letter alphabet makes matches and near misses frequent.
    const char alphabet[2] = {char(rng() % 2 ? 0x01 : 'Q'), 'x'};
    std::string data(rng() % 80, '\0'), needle(rng() % 7, '\0');
    for (char& c : data) c = alphabet[rng() % 2];
    for (char& c : needle) c = alphabet[rng() % 2];
    const size_t from = rng() % (data.size() + 3);
    ASSERT_EQ(FindMarker(data, needle, from), FindBytes(data, needle, from))
        << data << " / " << needle << " from " << from;
    ASSERT_EQ(FindLastMarker(data, needle), FindLastBytes(data, needle)) << data << " / " << needle;
  }
  const std::string marker = "QEV-mark=7zipdataA\x01";
  std::string big(1000, 'Q');
  for (size_t at : {size_t(0), size_t(15), size_t(16), size_t(500), big.size() - marker.size()}) {
    std::string d = big;
    d.replace(at, marker.size(), marker);
    EXPECT_EQ(FindMarker(d, marker), at);
    EXPECT_EQ(FindLastMarker(d, marker), at);
  }
}
