#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "nmea/nmea_fields.h"

namespace trevalo {
namespace {

TEST(SentenceFields, SplitsAtCommasAndAsterisks) {
  const SentenceFields f("GPRMC,123519.000,A,,N*4B");
  EXPECT_EQ(f[0], "GPRMC");
  EXPECT_EQ(f[1], "123519.000");
  EXPECT_EQ(f[2], "A");
  EXPECT_EQ(f[3], "");
  EXPECT_EQ(f[4], "N");
  EXPECT_EQ(f[5], "4B");  // the checksum is one more field
  EXPECT_EQ(f[6], "");    // fields past the end are empty
  EXPECT_EQ(f[99], "");
}

TEST(SentenceFields, KeepsTwentyFields) {
  std::string text = "GPGSV";
  for (int i = 1; i < 30; ++i) {
    text.append(",").append(std::to_string(i));
  }
  const SentenceFields f(text);
  EXPECT_EQ(f[19], "19");
  EXPECT_EQ(f[20], "");
}

// Field by field as a plain byte-by-byte split gives them, for texts of every length around
// the sixteen bytes the splitter takes at a time, with separators at every place.
TEST(SentenceFields, AgreeWithAPlainSplitAtEveryLength) {
  std::mt19937 random(7);
  const char alphabet[] = {',', '*', 'a', '1', ','};
  for (int round = 0; round < 4000; ++round) {
    std::string text(random() % 90, 'x');
    for (char& c : text) {
      c = alphabet[random() % sizeof alphabet];
    }
    std::vector<std::string> expected(1);
    for (const char c : text) {
      if (c == ',' || c == '*') {
        expected.emplace_back();
      } else {
        expected.back().push_back(c);
      }
    }
    const SentenceFields fields(text);
    for (std::size_t n = 0; n < SentenceFields::kMaxFields + 2; ++n) {
      const std::string want =
          n < expected.size() && n < SentenceFields::kMaxFields ? expected[n] : std::string();
      ASSERT_EQ(fields[n], want) << text << " field " << n;
    }
  }
}

TEST(SentenceDateTime, ReadsTimeAndTwoDigitYear) {
  EXPECT_EQ(IsoTimeText(*SentenceDateTime("123519.000", "170509")), "2009-05-17 12:35:19");
  EXPECT_EQ(IsoTimeText(*SentenceDateTime("000000", "010100")), "2000-01-01 00:00:00");
}

TEST(SentenceDateTime, ShortFieldsGiveTheDefaultTime) {
  EXPECT_EQ(*SentenceDateTime("12351", "170509"), kDefaultTime);
  EXPECT_EQ(*SentenceDateTime("123519", ""), kDefaultTime);
}

TEST(SentenceDateTime, OutOfRangeFieldsFail) {
  EXPECT_FALSE(SentenceDateTime("123519", "171309"));  // month 13
  EXPECT_FALSE(SentenceDateTime("246000", "170509"));  // hour 24
  EXPECT_FALSE(SentenceDateTime("123560", "170509"));  // second 60 that is no leap second
  EXPECT_EQ(SentenceDateTime("235960", "170509"), MakeTime(2009, 5, 17, 23, 59, 59));
  EXPECT_FALSE(SentenceDateTime("123519", "000000"));  // day 0
}

}  // namespace
}  // namespace trevalo
