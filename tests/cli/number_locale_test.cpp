// inhibra-fit under a locale that writes numbers with a decimal comma (as a person's
// LANG or LC_ALL may say): drawing plots builds Qt's application object, which sets
// the C library's locale from the environment, yet the report, the JSON, the
// messages and the plots are byte for byte those of a run under the C locale.
#include <gtest/gtest.h>

#include "cli/run_fit.hpp"
#include "support/comma_locales.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

// Whether a text shown in an SVG file (between '>' and '<') holds a digit, a comma
// and a digit: a number with a decimal comma.
bool shows_decimal_comma(const std::string& svg) {
  bool in_text = false;
  for (std::size_t i = 0; i + 2 < svg.size(); ++i) {
    if (svg[i] == '>' || svg[i] == '<') in_text = svg[i] == '>';
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (in_text && digit(svg[i]) && svg[i + 1] == ',' && digit(svg[i + 2])) return true;
  }
  return false;
}

struct locale_run {
  process_result process;
  std::map<std::string, std::string> files;  // what the run wrote, by name
};

// A run of every model on the example with SVG plots and JSON, under `locale`.
locale_run run_under(const std::string& locale, const std::string& locpath) {
  const support::temp_dir dir;
  support::copy_example(dir, "Data.in");
  locale_run r;
  r.process = run_fit("-q --plots P --format svg --json results.json Data.in", dir,
                      std::string(fixed_date) + " LOCPATH=\"" + locpath + "\" LC_ALL=" + locale);
  r.files = support::snapshot(dir.path());
  return r;
}

TEST(NumberLocale, DecimalCommaLocalesChangeNoByteOfTheResults) {
  const support::comma_locales locales;
  ASSERT_EQ(locales.error(), "");
  const locale_run classic = run_under("C", locales.locpath());
  ASSERT_EQ(classic.process.status, 0) << classic.process.err;
  ASSERT_TRUE(classic.files.contains("Data.out"));
  ASSERT_TRUE(classic.files.contains("P/Data-best-xy.svg"));
  // The report's fixed-point and E-format figures, as the C locale writes them.
  EXPECT_NE(classic.files.at("Data.out").find("E-0"), std::string::npos);
  EXPECT_NE(classic.files.at("Data.out").find(" +/- "), std::string::npos);

  for (const std::string& locale : support::comma_locales::names()) {
    SCOPED_TRACE(locale);
    const locale_run local = run_under(locale, locales.locpath());
    EXPECT_EQ(local.process.status, 0) << local.process.err;
    EXPECT_EQ(local.process.err, classic.process.err);
    ASSERT_EQ(local.files.size(), classic.files.size());
    for (const auto& [name, bytes] : classic.files) {
      SCOPED_TRACE(name);
      ASSERT_TRUE(local.files.contains(name));
      EXPECT_TRUE(local.files.at(name) == bytes);  // byte for byte (too long to print)
    }
    // No tick label or legend of any plot has a decimal comma.
    for (const auto& [name, bytes] : local.files) {
      if (name.ends_with(".svg")) {
        EXPECT_FALSE(shows_decimal_comma(bytes)) << name;
      }
    }
  }
}

}  // namespace
}  // namespace inhibra::cli
