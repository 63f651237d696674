#include "shell/results_table.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "data/output_file.hpp"
#include "evidence/run_evidence.hpp"
#include "evidence/textbook_ranking.hpp"
#include "fit/model_comparison.hpp"
#include "models/model_catalogue.hpp"
#include "models/model_forms.hpp"

namespace inhibra::shell {

namespace {

constexpr int shown_digits = 6;  // significant digits in the window

const std::vector<std::string> grid_header{"Model",
                                           "Name / parameter",
                                           "Textbook name",
                                           "SSR",
                                           "AICc",
                                           "\u0394AICc",
                                           "BIC",
                                           "Akaike weight",
                                           "Evidence ratio",
                                           "Report criterion",
                                           "Value",
                                           "Standard error",
                                           "95 % lower",
                                           "95 % upper",
                                           "Limits",
                                           "Symmetric lower",
                                           "Symmetric upper",
                                           "Flags",
                                           "Residual checks",
                                           "Counts in the verdict as"};
// The parameter lines' columns.
constexpr std::size_t value_column = 10;
constexpr std::size_t se_column = 11;
constexpr std::size_t lower_column = 12;
constexpr std::size_t upper_column = 13;
constexpr std::size_t limits_column = 14;
constexpr std::size_t symmetric_lower_column = 15;
constexpr std::size_t symmetric_upper_column = 16;
constexpr std::size_t flags_column = 17;
constexpr std::size_t residual_column = 18;
constexpr std::size_t counts_column = 19;
const std::vector<std::string> nested_header{
    "Special model", "General model", "How", "F", "df1", "df2", "p", "Boundary test"};
// The figures' columns: SSR to the symmetric upper limit, "Limits" aside.
constexpr std::size_t first_figure = 3;
constexpr std::size_t last_figure = symmetric_upper_column;

// The residual checks in the order the table lists them, with their names.
struct named_check {
  std::string_view name;
  const fit::diagnostic_test* test;
};
std::array<named_check, 4> checks_of(const fit::residual_diagnostics& d) {
  return {{{"runs", &d.runs},
           {"normality", &d.normality},
           {"spread", &d.spread},
           {"lack of fit", &d.lack_of_fit}}};
}

// The end of the model's range that parameter k (0-based) of r may reach; model 8
// keeps b below its fitted a, as the run's bound check does.
struct range {
  double lo = 0.0;
  double hi = 0.0;
};
range model_range(const fit::model_result& r, const models::parameter_box& box, std::size_t k) {
  return {box.lo[k], models::upper_end(r.model, r.p, k)};
}

parameter_row parameter_of(const fit::model_result& r, const models::parameter_box& box,
                           std::size_t k) {
  parameter_row row;
  const models::model_facts* facts = models::model_info(r.model);
  if (facts != nullptr) row.name = std::string(facts->parameter_names[k]);
  row.value = r.p[k];
  row.at_bound = r.held[k];
  const bool has_error = r.se_free_produced && !row.at_bound;
  row.se = has_error ? r.se_free[k] : NAN;
  if (!row.at_bound) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(r.n); ++i) {
      if (r.held[i] && facts != nullptr) row.conditional_on.emplace_back(facts->parameter_names[i]);
    }
  }
  // The driver's rule: an error above 75 % of the value (or none at all); a parameter
  // at bound says so instead.
  row.poorly_determined = !row.at_bound && fit::poorly_determined(row.se, r.p[k]);

  const range limits_range = model_range(r, box, k);
  const double cl = has_error ? r.cl_free[k] : NAN;
  row.symmetric_low = r.p[k] - cl;
  row.symmetric_high = r.p[k] + cl;
  bool symmetric_clipped = false;
  if (row.symmetric_low < limits_range.lo) {
    row.symmetric_low = limits_range.lo;
    symmetric_clipped = true;
  }
  if (row.symmetric_high > limits_range.hi) {
    row.symmetric_high = limits_range.hi;
    symmetric_clipped = true;
  }
  if (r.profiled) {
    // The profile stops at the range's ends; an open side is a limit that the
    // range cut short.
    const fit::profile_limit& p = r.profile[k];
    row.limits = limit_kind::profile;
    row.low = p.low;
    row.high = p.high;
    row.clipped = p.low_open || p.high_open;
  } else {
    row.limits = row.at_bound ? limit_kind::none : limit_kind::symmetric;
    row.low = row.symmetric_low;
    row.high = row.symmetric_high;
    row.clipped = symmetric_clipped;
  }
  return row;
}

// "a and b" for two names, "Km, a and b" for three.
std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

void add_flag(std::string& text, bool on, std::string_view flag) {
  if (!on) return;
  if (!text.empty()) text += "; ";
  text += flag;
}

std::string number(double v, int digits) {
  if (std::isnan(v)) return "n/a";
  char buf[64];
  if (digits == exact_digits) {
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : std::string("n/a");
  }
  std::snprintf(buf, sizeof buf, "%.*g", digits, v);
  return buf;
}

std::string joined(const std::vector<std::vector<std::string>>& grid, char separator,
                   std::string (*cell)(const std::string&), std::string_view line_end) {
  std::string out;
  for (const auto& line : grid) {
    for (std::size_t c = 0; c < line.size(); ++c) {
      if (c > 0) out += separator;
      out += cell(line[c]);
    }
    out += line_end;
  }
  return out;
}

// A tab or a line break inside a cell would break the clipboard's columns.
std::string tsv_cell(const std::string& text) {
  std::string out = text;
  for (char& ch : out)
    if (ch == '\t' || ch == '\n' || ch == '\r') ch = ' ';
  return out;
}

std::string csv_cell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (const char ch : text) {
    if (ch == '"') out += '"';
    out += ch;
  }
  return out + "\"";
}

}  // namespace

// A parameter's name with its unit in brackets.
std::string name_with_unit(std::string_view name, const data::axis_units& units) {
  static const std::string none;
  const std::string& unit = name == "Vmax" ? units.rate
                            : name == "Km" ? units.substrate
                            : name == "Ki" ? units.inhibitor
                                           : none;
  return unit.empty() ? std::string(name) : std::string(name) + " (" + unit + ")";
}

std::string run_line(const fit::run_record& record, std::string_view when) {
  std::string line = std::filesystem::path(record.data_name).filename().string();
  if (!when.empty()) line += ", run " + std::string(when);
  line += "   |   Weights: " + std::string(core::error_model_name(record.errors));
  if (record.weighting == core::weighting::robust) line += ", robust";
  line += "   |   Fitting: ";
  line += record.method == fit::fit_method::chain_only ? "chain only"
          : record.method == fit::fit_method::fast     ? "refined, fast"
                                                       : "refined";
  if (!record.rows_left_out.empty()) {
    line += "   |   Rows left out: ";
    for (std::size_t k = 0; k < record.rows_left_out.size(); ++k)
      line += (k > 0 ? ", " : "") + record.rows_left_out[k];
  }
  return line;
}

std::vector<model_row> results_rows(const fit::run_record& record, const data::axis_units& units) {
  std::vector<model_row> rows;
  const evidence::verdict mechanism = evidence::weigh_evidence(record).mechanism;
  for (const fit::model_result& r : record.fitted) {
    model_row row;
    row.model = r.model;
    for (const evidence::model_membership& m : mechanism.members)
      if (m.model == r.model) row.counts_as = m.counts_as;
    row.name = r.name;
    if (const models::model_facts* facts = models::model_info(r.model))
      row.textbook = std::string(facts->textbook);
    row.ssr = r.ssr;
    row.aicc = r.textbook.aicc;
    row.bic = r.textbook.bic;
    row.report_criterion = r.aicc;
    row.refined = r.refined;
    row.diagnostics = r.diagnostics;
    const models::parameter_box box = models::reachable_box(r.model);
    for (int i = 0; i < r.n; ++i) {
      row.parameters.push_back(parameter_of(r, box, static_cast<std::size_t>(i)));
      row.parameters.back().name = name_with_unit(row.parameters.back().name, units);
    }
    rows.push_back(std::move(row));
  }
  // The ranking names each model by its place in the order of fitting; the rows follow
  // it, and models it does not rank keep their order after them.
  std::vector<model_row> ranked;
  std::vector<bool> taken(rows.size(), false);
  for (const evidence::textbook_row& rank : evidence::rank_by_textbook(record.fitted)) {
    if (rank.index < 1 || static_cast<std::size_t>(rank.index) > rows.size()) continue;
    const auto k = static_cast<std::size_t>(rank.index - 1);
    if (taken[k]) continue;
    taken[k] = true;
    model_row& row = rows[k];
    row.delta_aicc = rank.delta;
    row.weight = rank.weight;
    row.evidence_ratio = std::pow(10.0, rank.log10_ratio);
    ranked.push_back(std::move(row));
  }
  for (std::size_t k = 0; k < rows.size(); ++k)
    if (!taken[k]) ranked.push_back(std::move(rows[k]));
  return ranked;
}

std::string flag_text(const model_row& row) {
  std::string text;
  add_flag(text, row.refined, flag_refined);
  return text;
}

std::string flag_text(const parameter_row& row) {
  std::string text;
  add_flag(text, row.at_bound, flag_at_bound);
  if (!row.conditional_on.empty()) {
    add_flag(text, true,
             "conditional on " + listed(row.conditional_on) +
                 (row.conditional_on.size() == 1 ? " at its bound" : " at their bounds"));
  }
  add_flag(text, row.poorly_determined, flag_poorly_determined);
  add_flag(text, row.clipped, flag_clipped);
  return text;
}

std::string residual_summary(const model_row& row) {
  const named_check* smallest = nullptr;
  int advising = 0;
  bool any = false;
  const auto checks = checks_of(row.diagnostics);
  for (const named_check& c : checks) {
    any = any || c.test->available;
    if (c.test->advice.empty()) continue;
    ++advising;
    if (smallest == nullptr || c.test->p < smallest->test->p) smallest = &c;
  }
  if (!any) return "n/a";
  if (smallest == nullptr) return "no advice";
  std::string text = std::string(smallest->name) + " " + fit::p_text(smallest->test->p);
  if (advising > 1) text += " (+" + std::to_string(advising - 1) + ")";
  return text;
}

std::string residual_details(const model_row& row) {
  std::string text;
  std::string advice;
  for (const named_check& c : checks_of(row.diagnostics)) {
    if (!text.empty()) text += '\n';
    text +=
        std::string(c.name) + ": " + (c.test->available ? fit::p_text(c.test->p) : "not available");
    if (!c.test->advice.empty()) advice += "\n" + c.test->advice;
  }
  return advice.empty() ? text : text + "\n" + advice;
}

std::vector<std::vector<std::string>> results_grid(const std::vector<model_row>& rows, int digits) {
  std::vector<std::vector<std::string>> grid{grid_header};
  const std::size_t columns = grid_header.size();
  for (const model_row& m : rows) {
    const std::string model = std::to_string(m.model);
    std::vector<std::string> head{model,
                                  m.name,
                                  m.textbook,
                                  number(m.ssr, digits),
                                  number(m.aicc, digits),
                                  number(m.delta_aicc, digits),
                                  number(m.bic, digits),
                                  number(m.weight, digits),
                                  number(m.evidence_ratio, digits),
                                  number(m.report_criterion, digits)};
    head.resize(columns);
    head[flags_column] = flag_text(m);
    head[residual_column] = residual_summary(m);
    head[counts_column] = m.counts_as == 0         ? std::string()
                          : m.counts_as == m.model ? std::string("itself")
                                                   : "model " + std::to_string(m.counts_as);
    grid.push_back(std::move(head));
    for (const parameter_row& p : m.parameters) {
      std::vector<std::string> line(columns);
      line[0] = model;
      line[1] = p.name;
      line[value_column] = number(p.value, digits);
      line[se_column] = p.at_bound ? std::string(se_at_bound) : number(p.se, digits);
      line[lower_column] = number(p.low, digits);
      line[upper_column] = number(p.high, digits);
      line[limits_column] = p.limits == limit_kind::profile     ? "profile"
                            : p.limits == limit_kind::symmetric ? "symmetric"
                                                                : "none";
      line[symmetric_lower_column] = number(p.symmetric_low, digits);
      line[symmetric_upper_column] = number(p.symmetric_high, digits);
      line[flags_column] = flag_text(p);
      grid.push_back(std::move(line));
    }
  }
  return grid;
}

std::vector<std::vector<std::string>> nested_grid(const std::vector<evidence::nested_test>& tests,
                                                  int digits) {
  std::vector<std::vector<std::string>> grid{nested_header};
  for (const evidence::nested_test& t : tests) {
    grid.push_back({std::to_string(t.special), std::to_string(t.general), std::string(t.how),
                    number(t.test.f, digits), std::to_string(t.test.df1),
                    std::to_string(t.test.df2), number(t.test.p, digits),
                    t.boundary ? "yes" : "no"});
  }
  return grid;
}

namespace {

// The lines after the tables: the verdict and the flagged rows, one cell each.
std::vector<std::vector<std::string>> notes_grid(const table_evidence& beside) {
  std::vector<std::vector<std::string>> notes;
  if (!beside.verdict.empty()) notes.push_back({"Verdict: " + beside.verdict});
  const std::string flagged = flagged_rows_text(beside.flagged);
  if (!flagged.empty()) notes.push_back({flagged});
  return notes;
}

template <typename Cell>
std::string exported(const std::vector<model_row>& rows, const table_evidence& beside,
                     char separator, Cell cell, const char* line_end) {
  std::string text = joined(results_grid(rows, exact_digits), separator, cell, line_end);
  if (!beside.nested.empty())
    text += line_end + joined(nested_grid(beside.nested, exact_digits), separator, cell, line_end);
  const auto notes = notes_grid(beside);
  if (!notes.empty()) text += line_end + joined(notes, separator, cell, line_end);
  return text;
}

}  // namespace

std::string tab_separated(const std::vector<model_row>& rows, const table_evidence& beside) {
  return exported(rows, beside, '\t', tsv_cell, "\n");
}

std::string csv_text(const std::vector<model_row>& rows, const table_evidence& beside) {
  return exported(rows, beside, ',', csv_cell, "\r\n");
}

std::string results_legend() {
  return "AICc: -2 ln L + 2k + 2k(k + 1)/(N - k - 1), with L the likelihood of the fit "
         "under the run's error model and k the parameters plus the variance; the rows are "
         "ranked by it, and \u2605 marks the lowest, the best model. BIC: -2 ln L + k ln N.\n"
         "\u0394AICc: the model's AICc minus the lowest AICc of the run (0 for the best "
         "model; below 2 the two are hard to tell apart).\n"
         "Akaike weight: the model's share of the evidence among the models fitted (the "
         "weights add up to 1).\n"
         "Evidence ratio: how many times more likely the best model is than this one (1 for "
         "the best model).\n"
         "Report criterion: the criterion the results report ranks by (labelled AICc "
         "there), from the sum of squares and the standard errors.\n"
         "95 % limits: profile-likelihood limits where the run computed them, else value "
         "\u00b1 t \u00b7 standard error; the symmetric limits value \u00b1 t \u00b7 standard "
         "error follow.\n"
         "A parameter at an end of the model's range has no standard error and no symmetric "
         "limits (\"not determined \u2014 at bound\"); its profile limits, which let it move, "
         "are its limits. The other parameters' standard errors then hold it at its end: "
         "\"conditional on Ki at its bound\".\n"
         "Flags: \"at bound\": the estimate sits at an end of the model's range; \"poorly "
         "determined\": the standard error exceeds 75 % of the value; \"limits clipped to the "
         "model's range\": a limit reached past the range and is shown at its end; "
         "\"refined\": the refinement after the fixed chain of stages found a lower sum of "
         "squares.\n"
         "Residual checks: of the checks that advise something (p below 0.05), the one with "
         "the smallest p and how many more; the tooltip gives every check and its advice. "
         "\"runs\": too few runs of residual signs along [S] in the curves, a shape the model "
         "does not follow; \"normality\": Shapiro-Wilk; \"spread\": the residuals' size "
         "follows the rate, a sign that other weights suit the data; \"lack of fit\": the "
         "model misses the means of replicate rows.\n"
         "Counts in the verdict as: the model whose families the fit's Akaike weight is added "
         "to in the verdict: itself, or a special case it is not told apart from (a parameter "
         "at the end of its range where it becomes that model, or a profile limit open "
         "there).\n"
         "Nested F tests: F = ((SSR_s - SSR_g)/(df_s - df_g)) / (SSR_g/df_g) on the weighted "
         "sums, for every fitted model that is a special case of another fitted model; a small "
         "p says the general model's extra parameters are needed. A boundary test's special "
         "case lies at an end of the general model's range (a -> infinity, b -> 0): its p is "
         "conservative.";
}

std::string flagged_rows_text(const std::vector<fit::flagged_row>& flagged) {
  if (flagged.empty()) return {};
  std::string influence;
  std::string weighted;
  for (const auto& f : flagged) {
    const std::string line = std::to_string(f.row);
    if (f.high_influence) influence += (influence.empty() ? "" : ", ") + line;
    if (f.down_weighted) weighted += (weighted.empty() ? "" : ", ") + line;
  }
  std::string parts;
  if (!influence.empty()) parts += influence + " high influence";
  if (!weighted.empty()) parts += (parts.empty() ? "" : "; ") + weighted + " down-weighted";
  return "Rows to look at in the best model's fit (line numbers of the data file): " + parts +
         ". \"High influence\": the row's Cook's distance exceeds 4/N, so it alone moves the "
         "estimates; \"down-weighted\": robust weighting gave it a weight below 0.1. Every row "
         "stays in the fit; check these rows in the file.";
}

toolkit::table_contents results_contents(const std::vector<model_row>& rows,
                                         const table_evidence& beside) {
  const std::vector<evidence::nested_test>& nested = beside.nested;
  const std::string& verdict = beside.verdict;
  toolkit::table_contents contents;
  contents.heading = verdict.empty() ? std::string(ranking_caption)
                                     : "Verdict: " + verdict + "\n" + std::string(ranking_caption);
  if (!beside.run.empty()) contents.heading = beside.run + "\n" + contents.heading;
  if (!nested.empty()) {
    const auto tests = nested_grid(nested, shown_digits);
    contents.second_title =
        "Nested F tests: does the general model fit better than its special case by more than "
        "its extra parameters explain? (a boundary test's p is conservative)";
    contents.second_columns = tests.front();
    for (std::size_t k = 1; k < tests.size(); ++k)
      contents.second_rows.push_back({tests[k], {}});
  }
  const auto grid = results_grid(rows, shown_digits);
  contents.columns = grid.front();
  contents.right_aligned.assign(contents.columns.size(), false);
  for (std::size_t c = first_figure; c <= last_figure; ++c)
    contents.right_aligned[c] = c != limits_column;
  // The grid holds each model's line followed by one line per parameter.
  std::size_t line = 1;
  for (const model_row& m : rows) {
    toolkit::table_row row{grid[line++], {}};
    row.tooltips.resize(contents.columns.size());
    row.tooltips[residual_column] = residual_details(m);
    // The ranked rows come lowest AICc first: the first of two or more is the best.
    if (&m == &rows.front() && rows.size() > 1 && m.delta_aicc == 0.0) {
      row.cells[1] = std::string(best_mark) + row.cells[1];
      row.tooltips[1] = "The best model: the lowest AICc of the run";
    }
    for (std::size_t i = 0; i < m.parameters.size(); ++i) {
      toolkit::table_row child{grid[line++], {}};
      child.cells[0].clear();  // the model's row above says which model it is
      row.children.push_back(std::move(child));
    }
    contents.rows.push_back(std::move(row));
  }
  const std::string rows_note = flagged_rows_text(beside.flagged);
  contents.legend = rows_note.empty() ? results_legend() : rows_note + "\n" + results_legend();
  contents.clipboard_text = tab_separated(rows, beside);
  return contents;
}

std::string export_csv(const std::vector<model_row>& rows, const std::string& file_name,
                       const table_evidence& beside) {
  data::output_file file;
  if (!file.open(file_name)) return file.error();
  file << csv_text(rows, beside);
  if (!file.commit()) return file.error();
  return {};
}

}  // namespace inhibra::shell
