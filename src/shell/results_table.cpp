#include "shell/results_table.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "data/output_file.hpp"
#include "fit/model_comparison.hpp"
#include "models/model_catalogue.hpp"
#include "models/model_forms.hpp"

namespace inhibra::shell {

namespace {

constexpr int shown_digits = 6;  // significant digits in the window

const std::vector<std::string> grid_header{
    "Model",      "Name / parameter", "Textbook name",  "SSR",   "AICc",
    "\u0394AICc", "Akaike weight",    "Evidence ratio", "Value", "Standard error",
    "95 % lower", "95 % upper",       "Limits",         "Flags"};

// The end of the model's range that parameter k (0-based) of r may reach; model 8
// keeps b below its fitted a, as the run's bound check does.
struct range {
  double lo = 0.0;
  double hi = 0.0;
};
range model_range(const fit::model_result& r, const models::parameter_box& box, std::size_t k) {
  range out{box.lo[k], box.hi[k]};
  if (r.model == 8 && k == 4) out.hi = std::fmin(out.hi, models::model8_b_ratio * r.p[3]);
  return out;
}

parameter_row parameter_of(const fit::model_result& r, const models::parameter_box& box,
                           std::size_t k) {
  parameter_row row;
  const models::model_facts* facts = models::model_info(r.model);
  if (facts != nullptr) row.name = std::string(facts->parameter_names[k]);
  row.value = r.p[k];
  row.se = r.se_produced ? r.se[k] : NAN;
  const int index = static_cast<int>(k) + 1;
  for (const fit::bound_hit& hit : r.at_bound)
    row.at_bound = row.at_bound || hit.index == index;
  // The driver's rule: an error above 75 % of the value (or none at all).
  row.poorly_determined = !r.se_produced || !(r.se[k] <= r.p[k] / 1.333);

  const range limits_range = model_range(r, box, k);
  if (r.profiled) {
    // The profile stops at the range's ends; an open side is a limit that the
    // range cut short.
    const fit::profile_limit& p = r.profile[k];
    row.limits = limit_kind::profile;
    row.low = p.low;
    row.high = p.high;
    row.clipped = p.low_open || p.high_open;
  } else {
    const double cl = r.se_produced ? r.cl[k] : NAN;
    row.limits = limit_kind::symmetric;
    row.low = r.p[k] - cl;
    row.high = r.p[k] + cl;
    if (row.low < limits_range.lo) {
      row.low = limits_range.lo;
      row.clipped = true;
    }
    if (row.high > limits_range.hi) {
      row.high = limits_range.hi;
      row.clipped = true;
    }
  }
  return row;
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

std::vector<model_row> results_rows(const fit::run_record& record) {
  std::vector<model_row> rows;
  for (const fit::model_result& r : record.fitted) {
    model_row row;
    row.model = r.model;
    row.name = r.name;
    if (const models::model_facts* facts = models::model_info(r.model))
      row.textbook = std::string(facts->textbook);
    row.ssr = r.ssr;
    row.aicc = r.aicc;
    row.refined = r.refined;
    const models::parameter_box box = models::reachable_box(r.model);
    for (int i = 0; i < r.n; ++i)
      row.parameters.push_back(parameter_of(r, box, static_cast<std::size_t>(i)));
    rows.push_back(std::move(row));
  }
  // The ranking names each model by its place in the order of fitting.
  for (const fit::ranking_row& rank : record.ranking) {
    if (rank.index < 1 || static_cast<std::size_t>(rank.index) > rows.size()) continue;
    model_row& row = rows[static_cast<std::size_t>(rank.index - 1)];
    row.delta_aicc = rank.delta;
    row.weight = rank.weight;
    row.evidence_ratio = std::pow(10.0, rank.ler);
  }
  return rows;
}

std::string flag_text(const model_row& row) {
  std::string text;
  add_flag(text, row.refined, flag_refined);
  return text;
}

std::string flag_text(const parameter_row& row) {
  std::string text;
  add_flag(text, row.at_bound, flag_at_bound);
  add_flag(text, row.poorly_determined, flag_poorly_determined);
  add_flag(text, row.clipped, flag_clipped);
  return text;
}

std::vector<std::vector<std::string>> results_grid(const std::vector<model_row>& rows, int digits) {
  std::vector<std::vector<std::string>> grid{grid_header};
  const std::size_t columns = grid_header.size();
  for (const model_row& m : rows) {
    const std::string model = std::to_string(m.model);
    grid.push_back({model, m.name, m.textbook, number(m.ssr, digits), number(m.aicc, digits),
                    number(m.delta_aicc, digits), number(m.weight, digits),
                    number(m.evidence_ratio, digits), "", "", "", "", "", flag_text(m)});
    for (const parameter_row& p : m.parameters) {
      std::vector<std::string> line(columns);
      line[0] = model;
      line[1] = p.name;
      line[8] = number(p.value, digits);
      line[9] = number(p.se, digits);
      line[10] = number(p.low, digits);
      line[11] = number(p.high, digits);
      line[12] = p.limits == limit_kind::profile ? "profile" : "symmetric";
      line[13] = flag_text(p);
      grid.push_back(std::move(line));
    }
  }
  return grid;
}

std::string tab_separated(const std::vector<model_row>& rows) {
  return joined(results_grid(rows, exact_digits), '\t', tsv_cell, "\n");
}

std::string csv_text(const std::vector<model_row>& rows) {
  return joined(results_grid(rows, exact_digits), ',', csv_cell, "\r\n");
}

std::string results_legend() {
  return "\u0394AICc: the model's AICc minus the lowest AICc of the run (0 for the best "
         "model; below 2 the two are hard to tell apart).\n"
         "Akaike weight: the model's share of the evidence among the models fitted (the "
         "weights add up to 1).\n"
         "Evidence ratio: how many times more likely the best model is than this one (1 for "
         "the best model).\n"
         "95 % limits: profile-likelihood limits where the run computed them, else value "
         "\u00b1 t \u00b7 standard error.\n"
         "Flags: \"at bound\": the estimate sits at an end of the model's range, and its "
         "standard error says little; \"poorly determined\": the standard error exceeds 75 % "
         "of the value; \"limits clipped to the model's range\": a limit reached past the "
         "range and is shown at its end; \"refined\": the refinement after the fixed chain of "
         "stages found a lower sum of squares.";
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
                                         const std::vector<fit::flagged_row>& flagged) {
  toolkit::table_contents contents;
  const auto grid = results_grid(rows, shown_digits);
  contents.columns = grid.front();
  // The figures' columns: SSR to the upper limit.
  contents.right_aligned.assign(contents.columns.size(), false);
  for (std::size_t c = 3; c <= 11; ++c)
    contents.right_aligned[c] = true;
  // The grid holds each model's line followed by one line per parameter.
  std::size_t line = 1;
  for (const model_row& m : rows) {
    toolkit::table_row row{grid[line++], {}};
    for (std::size_t i = 0; i < m.parameters.size(); ++i) {
      toolkit::table_row child{grid[line++], {}};
      child.cells[0].clear();  // the model's row above says which model it is
      row.children.push_back(std::move(child));
    }
    contents.rows.push_back(std::move(row));
  }
  const std::string rows_note = flagged_rows_text(flagged);
  contents.legend = rows_note.empty() ? results_legend() : rows_note + "\n" + results_legend();
  contents.clipboard_text = tab_separated(rows);
  return contents;
}

std::string export_csv(const std::vector<model_row>& rows, const std::string& file_name) {
  data::output_file file;
  if (!file.open(file_name)) return file.error();
  file << csv_text(rows);
  if (!file.commit()) return file.error();
  return {};
}

}  // namespace inhibra::shell
