// inhibra-fit on data tables: the examples fit as their native twins do, --check
// tells how a table was read, --convert writes the native format whole or not at all.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/run_fit.hpp"
#include "support/temp_dir.hpp"

namespace inhibra::cli {
namespace {

// Every parameter of every model fitted, by model and name.
std::map<std::string, double> parameters(const std::string& json) {
  std::map<std::string, double> out;
  const auto parsed = nlohmann::json::parse(json);
  for (const auto& m : parsed.at("files").at(0).at("models")) {
    for (const auto& p : m.at("parameters"))
      out[std::to_string(m.at("model").get<int>()) + " " + p.at("name").get<std::string>()] =
          p.at("value").get<double>();
  }
  return out;
}

TEST(TableCommand, EachExampleTableFitsToTheParametersOfItsNativeTwin) {
  constexpr double tight = 1e-12;
  struct twin_case {
    const char* table;
    const char* options;
    const char* native;
    const char* results;
    const char* rate_unit;  // as the JSON names it; "" for null
  };
  for (const auto& c :
       {twin_case{"rates-long.csv", "", "Data.in", "rates-long.out", "µM/min"},
        twin_case{"rates-semicolon.csv", "", "Data.in", "rates-semicolon.out", "µM/min"},
        twin_case{"plate.csv", "", "plate.in", "plate.out", ""},
        twin_case{"rates.xlsx", "", "Data.in", "rates.out", "µM/min"},
        twin_case{"rates.xlsx", "--sheet Plate ", "plate.in", "rates.out", ""}}) {
    support::temp_dir dir;
    support::copy_example(dir, c.table);
    support::copy_example(dir, c.native);
    const auto from_table =
        run_fit(std::string("-q --fast -m 1-4 --json - ") + c.options + c.table, dir);
    const auto from_native = run_fit(std::string("-q --fast -m 1-4 --json - ") + c.native, dir);
    ASSERT_EQ(from_table.status, 0) << c.table << ": " << from_table.err;
    ASSERT_EQ(from_native.status, 0) << c.native << ": " << from_native.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file(c.results))) << c.table;
    const auto units = nlohmann::json::parse(from_table.out).at("files").at(0).at("units");
    EXPECT_EQ(units.at("substrate"), "µM") << c.table;
    EXPECT_EQ(units.at("rate"),
              std::string(c.rate_unit).empty() ? nlohmann::json() : nlohmann::json(c.rate_unit))
        << c.table;
    EXPECT_TRUE(nlohmann::json::parse(from_native.out)
                    .at("files")
                    .at(0)
                    .at("units")
                    .at("substrate")
                    .is_null());
    const auto a = parameters(from_table.out);
    const auto b = parameters(from_native.out);
    ASSERT_EQ(a.size(), b.size()) << c.table;
    ASSERT_GE(a.size(), 8u) << c.table;  // four models of two or more parameters
    for (const auto& [name, value] : b) {
      ASSERT_TRUE(a.contains(name)) << c.table << ": " << name;
      EXPECT_NEAR(a.at(name), value, tight * std::abs(value)) << c.table << ": " << name;
    }
  }
}

TEST(TableCommand, ReplicateWellsOfAPlateFeedTheLackOfFitTest) {
  // The plate's triplicate columns repeat [S] and [I] exactly, so every model's
  // lack-of-fit test has its pure error, and it agrees with the native twin's.
  support::temp_dir dir;
  support::copy_example(dir, "plate.csv");
  support::copy_example(dir, "plate.in");
  dir.write("single.csv",
            "S,I,v\n50,0,0.032\n100,0,0.055\n200,0,0.08\n333,0,0.1\n"
            "500,0,0.115\n50,100,0.017\n100,100,0.028\n200,100,0.045\n"
            "333,100,0.064\n500,100,0.075\n");
  auto lack_of_fit = [&](const std::string& file) {
    const auto r = run_fit("-q --fast -m 1-4 --json - " + file, dir);
    EXPECT_EQ(r.status, 0) << file << ": " << r.err;
    std::vector<nlohmann::json> out;
    const auto parsed = nlohmann::json::parse(r.out);
    for (const auto& m : parsed.at("files").at(0).at("models"))
      out.push_back(m.at("diagnostics").at("lack_of_fit"));
    return out;
  };
  const auto table = lack_of_fit("plate.csv");
  const auto native = lack_of_fit("plate.in");
  ASSERT_EQ(table.size(), 4u);
  ASSERT_EQ(native.size(), 4u);
  for (std::size_t k = 0; k < table.size(); ++k) {
    ASSERT_TRUE(table[k].is_object()) << "model " << k + 1 << ": " << table[k];
    const double f = table[k].at("statistic").get<double>();
    const double p = table[k].at("p").get<double>();
    EXPECT_GT(f, 0.0);
    EXPECT_GE(p, 0.0);
    EXPECT_LE(p, 1.0);
    EXPECT_NEAR(f, native[k].at("statistic").get<double>(), 1e-9 * f) << "model " << k + 1;
  }
  // Without repeated wells there is no pure error, and the test is not made.
  for (const auto& j : lack_of_fit("single.csv"))
    EXPECT_TRUE(j.is_null()) << j;
}

TEST(TableCommand, TableOptionsThatAFileWouldLeaveOutAreRefused) {
  // A fit that silently dropped --columns could swap [S] and [I]: the call stops first.
  support::temp_dir dir;
  support::copy_example(dir, "plate.csv");
  support::copy_example(dir, "Data.in");
  struct refusal_case {
    const char* args;
    const char* said;
  };
  for (const auto& c : {
           refusal_case{"--columns S=2,I=1,v=3 Data.in",
                        "--columns says how to read a data table, but Data.in is read in the "
                        "native format"},
           refusal_case{"--layout wide Data", "Data.in is read in the native format"},
           refusal_case{"--check --layout long --columns S=1,I=2,v=3 Data.in",
                        "--columns and --layout say how"},
           refusal_case{"--layout wide plate.csv Data.in", "add --table"},
           refusal_case{"--sheet Plate plate.csv",
                        "--sheet names a sheet of an .xlsx workbook, but plate.csv is not one"},
           refusal_case{"--table --sheet Plate Data.in", "Data.in is not one"},
           refusal_case{"--convert plate.csv --sheet Plate", "plate.csv is not one"},
       }) {
    const auto r = run_fit(c.args, dir);
    EXPECT_EQ(r.status, 64) << c.args;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << c.args << ": " << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("Data.out"))) << c.args;
    EXPECT_FALSE(std::filesystem::exists(dir.file("plate.out"))) << c.args;
    EXPECT_FALSE(std::filesystem::exists(dir.file("plate.in"))) << c.args;
  }
  // With --table a file of any name is read as a table, and the options hold for it.
  dir.write("swapped.in", "0,50,1\n0,60,2\n0,70,3\n0,80,4\n0,90,5\n");
  EXPECT_EQ(run_fit("--check --columns I=1,S=2,v=3 swapped.in", dir).status, 64);
  const auto forced = run_fit("--check --table --columns I=1,S=2,v=3 swapped.in", dir);
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_NE(forced.out.find("columns: [S] 2 (B), [I] 1 (A), rate 3 (C)"), std::string::npos)
      << forced.out;
}

TEST(TableCommand, CheckTellsHowATableWasRead) {
  support::temp_dir dir;
  support::copy_example(dir, "plate.csv");
  dir.write("swapped.csv", "inh,sub,signal\n0,50,1\n0,60,2\n0,70,3\n0,80,4\n0,90,5\n");
  // The table options hold for every file of the call.
  const auto plate = run_fit("--check plate.csv", dir);
  ASSERT_EQ(plate.status, 0) << plate.err;
  EXPECT_EQ(plate.out,
            "plate.csv: rows=71 curves=4 per-curve=18,18,17,18 columns=3\n"
            "  layout: wide ([S] down the first column, [I] across the header row); cells "
            "separated by comma\n"
            "  units: [S] µM, [I] nM, rate not given\n"
            "  curves: [I] = 0 (18 rates); [I] = 100 (18 rates); [I] = 200 (17 rates); [I] = 400 "
            "(18 rates)\n"
            "  replicates: 24 pairs of [S] and [I] measured more than once, up to 3 times\n"
            "  empty cells: 1 (missing rates, not zeros)\n");
  const auto swapped = run_fit("--check --columns I=1,S=2,v=3 swapped.csv", dir);
  ASSERT_EQ(swapped.status, 0) << swapped.err;
  EXPECT_EQ(swapped.out,
            "swapped.csv: rows=5 curves=1 per-curve=5 columns=3\n"
            "  layout: long (one rate a row, a header row); cells separated by comma\n"
            "  columns: [S] 2 (B), [I] 1 (A), rate 3 (C)\n"
            "  units: [S] not given, [I] not given, rate not given\n"
            "  curves: [I] = 0 (5 rates)\n"
            "  replicates: none\n"
            "  empty cells: 0\n");
}

TEST(TableCommand, NamesDecideTheReaderAndTableForcesIt) {
  support::temp_dir dir;
  std::string rows = "S,I,v\n";
  for (int k = 1; k <= 5; ++k)
    rows += std::to_string(50 * k) + ",0," + std::to_string(k) + "\n";
  dir.write("export.in", rows);
  const auto native = run_fit("--check export.in", dir);
  EXPECT_EQ(native.status, 3);
  EXPECT_NE(native.err.find("inhibra-fit --table"), std::string::npos) << native.err;
  const auto forced = run_fit("--check --table export.in", dir);
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_NE(forced.out.find("export.in: rows=5 curves=1"), std::string::npos) << forced.out;
}

TEST(TableCommand, ConvertWritesTheNativeFileWholeOrNotAtAll) {
  support::temp_dir dir;
  support::copy_example(dir, "plate.csv");
  const auto r = run_fit("--convert plate.csv -o native.in", dir);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string written = support::read_file(dir.file("native.in"));
  EXPECT_NE(written.find("! units: [S] µM, [I] nM, rate not given\n"), std::string::npos)
      << written;
  const auto native = run_fit("--check native.in", dir);
  EXPECT_EQ(native.out, "native.in: rows=71 curves=4 per-curve=18,18,17,18 columns=3\n")
      << native.err;

  // Beside the table by default; an existing file is never written over.
  EXPECT_EQ(run_fit("--convert plate.csv", dir).status, 0);
  EXPECT_EQ(support::read_file(dir.file("plate.in")), written);
  dir.write("kept.in", "mine\n");
  const auto refused = run_fit("--convert plate.csv -o kept.in", dir);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("kept.in exists and is left as it is"), std::string::npos)
      << refused.err;
  EXPECT_EQ(support::read_file(dir.file("kept.in")), "mine\n");

  // A table that cannot be read writes nothing.
  dir.write("bad.csv", "S,I,v\n1,0,x\n");
  EXPECT_EQ(run_fit("--convert bad.csv -o bad.in", dir).status, 3);
  EXPECT_FALSE(std::filesystem::exists(dir.file("bad.in")));
}

TEST(TableCommand, WrongTableOptionsStopBeforeAnythingIsRead) {
  support::temp_dir dir;
  struct usage_case {
    const char* args;
    const char* said;
  };
  for (const auto& c :
       {usage_case{"--columns S=1,I=2 a.csv", "--columns needs the columns of all three"},
        usage_case{"--layout diagonal a.csv", "--layout"},
        usage_case{"--convert a.csv b.csv", "fits nothing"},
        usage_case{"-o x.in a.csv", "--convert"}, usage_case{"", "files is required"}}) {
    const auto r = run_fit(c.args, dir);
    EXPECT_EQ(r.status, 64) << c.args;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << c.args << ": " << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << c.args;
  }
}

}  // namespace
}  // namespace inhibra::cli
