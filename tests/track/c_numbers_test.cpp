#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "track/c_numbers.h"

namespace trevalo {
namespace {

// Decimals as logs write them, of up to 20 digits with the point anywhere: each must read as
// the very double the C library gives.
TEST(Numbers, DecimalsReadToTheSameDoubleAsStrtod) {
  std::mt19937_64 random(11);
  for (int round = 0; round < 200000; ++round) {
    const int digits = 1 + static_cast<int>(random() % 20);
    std::string text;
    for (int i = 0; i < digits; ++i) {
      text.push_back(static_cast<char>('0' + random() % 10));
    }
    if (random() % 4 != 0) {
      text.insert(random() % (text.size() + 1), 1, '.');
    }
    if (random() % 16 == 0) {
      text += "e" + std::to_string(static_cast<int>(random() % 40) - 20);
    }
    const double expected = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(ReadReal(text), expected) << text;
    ASSERT_EQ(ReadReal("-" + text), -expected) << text;
  }
}

// The C library is the reference for how numbers read.
TEST(Numbers, ReadLikeAtofAndAtoi) {
  const char* samples[] = {
      "",
      "0",
      "3723.4567",
      "-12.5",
      "+7",
      "  42",
      "\t-0.5x",
      "1e3",
      "1e",
      "1e+",
      ".5",
      "5.",
      ".",
      "-",
      "+-1",
      "--1",
      "0x1A",
      "0x",
      "inf",
      "-nan",
      "1.5.6",
      "12abc",
      "abc",
      "1e400",
      "1e-400",
      "00123",
      " +.25e1",
      "9999999999999999999999",
      "-2147483649",
      "2147483647",
      "0.000000000000000000001234",
  };
  for (const char* sample : samples) {
    const double expectedReal = std::strtod(sample, nullptr);
    const double real = ReadReal(sample);
    if (expectedReal != expectedReal) {
      EXPECT_NE(real, real) << sample;
    } else {
      EXPECT_EQ(real, expectedReal) << sample;
    }
    const long expectedInt = std::strtol(sample, nullptr, 10);
    if (expectedInt >= -2147483648L && expectedInt <= 2147483647L) {
      EXPECT_EQ(ReadInt(sample), expectedInt) << sample;
    }
  }
  EXPECT_EQ(ReadInt("9999999999999"), 2147483647);
  EXPECT_EQ(ReadInt("-9999999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace trevalo
