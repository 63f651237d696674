#include "cli/model_list.hpp"

#include <gtest/gtest.h>

namespace inhibra::cli {
namespace {

model_selection of(std::initializer_list<int> models) {
  model_selection s{};
  for (int m : models)
    s[static_cast<std::size_t>(m - 1)] = true;
  return s;
}

TEST(ModelList, AllNumbersAndRanges) {
  EXPECT_EQ(parse_model_list("all"), of({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(parse_model_list("1-4,9"), of({1, 2, 3, 4, 9}));
  EXPECT_EQ(parse_model_list("10"), of({10}));
  EXPECT_EQ(parse_model_list("3, 3,2-3"), of({2, 3}));
}

TEST(ModelList, RefusesWhatIsNotAList) {
  for (const char* bad : {"", "0", "11", "4-2", "1-", "-3", "1,,2", "x", "1-4,9x", "2.5"}) {
    EXPECT_FALSE(parse_model_list(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace inhibra::cli
