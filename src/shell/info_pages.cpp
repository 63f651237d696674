#include "shell/info_pages.hpp"

#include <algorithm>
#include <array>

#include "strings/text.hpp"
#include "toolkit/window_system.hpp"

// The program's version, from the build (the same as inhibra --version).
#ifndef INHIBRA_VERSION
#define INHIBRA_VERSION "(unknown)"
#endif

namespace inhibra::shell {

namespace {

constexpr std::array example_lines = {
    std::string_view("EXAMPLE INPUT DATA FILE STRUCTURE (DATA.IN):"),
    std::string_view("Column 1: 1st Independent variable [Substrate] data"),
    std::string_view("Column 2: 2nd Independent variable [Inhibitor] data"),
    std::string_view("Column 3: Dependent variable Velocity (Rate) data"),
    std::string_view(""),
    std::string_view("Number of curves: At least four curves are recommended."),
    std::string_view(""),
    std::string_view("ENTER DATA IN COLUMNS ON 1ST LINE USING NOTEPAD TEXT FILE."),
    std::string_view("~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~"),
    std::string_view(" 50    0    0.032      !<-- CURVE #1 [I]=0"),
    std::string_view("100    0    0.055"),
    std::string_view("200    0    0.08"),
    std::string_view("333    0    0.102"),
    std::string_view("500    0    0.116"),
    std::string_view("700    0    0.13"),
    std::string_view("50     100    0.017    !<-- CURVE #2 [I]=100"),
    std::string_view("100    100    0.028"),
    std::string_view("200    100    0.045"),
    std::string_view("333    100    0.065"),
    std::string_view("500    100    0.072"),
    std::string_view("700    100    0.078"),
    std::string_view("50     200    0.01      !<-- CURVE #3 [I]=200"),
    std::string_view("100    200    0.018"),
    std::string_view("200    200    0.03"),
    std::string_view("333    200    0.041"),
    std::string_view("500    200    0.048"),
    std::string_view("700    200    0.052"),
    std::string_view("50     400    0.004     !<-- CURVE #4 [I]=400"),
    std::string_view("100    400    0.008"),
    std::string_view("200    400    0.012"),
    std::string_view("333    400    0.015"),
    std::string_view("500    400    0.022"),
    std::string_view("700    400    0.024"),
};

constexpr std::array models_lines = {
    std::string_view("     INHIBRA\u2122 SOFTWARE LIBRARY MODEL TYPES"),
    std::string_view("NOTE: Data.in files require [S], [I], Rate data in 3 columns."),
    std::string_view(""),
    std::string_view("1- Linear Specific Inhibition, LSpI: Par=3"),
    std::string_view("   v = Vmax / (1 + Km / [S] * (1 + [I] / Ki))"),
    std::string_view("       [a = infinity, b = 0]"),
    std::string_view("2- Linear Mixed Inhibition, LMx(Sp=Ca)I: Par=3"),
    std::string_view("   v = Vmax / ((1 + Km / [S]) * (1 + [I] / Ki))"),
    std::string_view("       [a = 1, b = 0]"),
    std::string_view("3- Linear Mixed Inhibition, LMx(Sp<Ca)I: Par=4"),
    std::string_view("   v = Vmax / ((Km / [S])*(1 + [I] / Ki) + (1 + [I] / (a*Ki)))"),
    std::string_view("       [0 < a < 1, b = 0]"),
    std::string_view("4- Linear Mixed Inhibition, LMx(Sp>Ca)I: Par=4"),
    std::string_view("   v = Vmax / ((Km  / [S])*(1 + [I] / Ki) + (1 + [I] / (a*Ki)))"),
    std::string_view("       [a > 1, b = 0]"),
    std::string_view("5- Hyperbolic Specific Inhibition, HSpI: Par=4"),
    std::string_view("   v = Vmax / ((1 + [I] / (a*Ki)) / (1 + [I] / (a*Ki)) +"),
    std::string_view("       (Km/[S]) * (1 + [I]/Ki) / (1 + [I] / (a*Ki)))"),
    std::string_view("       [a > 1, b = 1, a > b]"),
    std::string_view("6- Hyperbolic Mixed Inhibition, HMx(Sp=Ca)I: Par=4"),
    std::string_view("   v = Vmax / ((1 + [I] / (a*Ki)) / (1 + b*[I] / Ki) +"),
    std::string_view("       (Km/[S]) * (1 + [I]/Ki) / (1 + b*[I] / Ki))"),
    std::string_view("       [a = 1, 0 < b < 1, a > b]"),
    std::string_view("7- Hyperbolic Catalytic Inhibition, HCaI: Par=4"),
    std::string_view("   v = Vmax / ((1 + [I] / (a*Ki)) / (1 + a*[I] / (a*Ki)) +"),
    std::string_view("       (Km/[S]) * (1 + [I]/Ki) / (1 + a*[I] / (a*Ki)))"),
    std::string_view("       [0 < a < 1, 0 < b < 1, a = b]"),
    std::string_view("8- Hyperbolic Mixed Inhibition, HMx(Sp<Ca)I: Par=5"),
    std::string_view("   v = Vmax / ((1 + [I] / (a*Ki)) / (1 + b*[I] / (a*Ki)) +"),
    std::string_view("       (Km/[S]) * (1 + [I]/Ki) / (1 + b*[I] / (a*Ki)))"),
    std::string_view("       [0 < a < 1, 0 < b < 1, a > b]"),
    std::string_view("9- Hyperbolic Mixed Inhibition, HMx(Sp>Ca)I: Par=5"),
    std::string_view("   v = Vmax / ((1 + [I] / (a*Ki)) / (1 + b*[I] / (a*Ki)) +"),
    std::string_view("       (Km/[S]) * (1 + [I]/Ki) / (1 + b*[I] / (a*Ki)))"),
    std::string_view("       [a > 1, 0 < b < 1]"),
    std::string_view("10- General Hyperbolic Enzyme-Modifier Model: Par=5"),
    std::string_view("   v = Vmax / ((1 + [I] / (a*Ki)) / (1 + b*[I] / (a*Ki)) +"),
    std::string_view("       (Km/[S]) * (1 + [I]/Ki) / (1 + b*[I] / (a*Ki)))"),
    std::string_view("       [0 < a < Inf, 0 < b < Inf]"),
    std::string_view(""),
    std::string_view("o AIC is a statistical method to compare different models."),
    std::string_view("  Corrected AICc = n*LN(SSR/n) + (factor)*(p+1)*n/(n-p)"),
    std::string_view("  Where factor is a function of p and n."),
    std::string_view("o Akaike Weight: Wti = EXP(-0.5*(AICc,i-AICcmin)) /"),
    std::string_view("  SUM,j=1,[ EXP(-0.5*(AICc,j-AICcmin)) ]"),
    std::string_view("o LER = Log(Evidence Ratio (WtMin/Wti)) of Akaike AICc weights"),
};

constexpr std::array mechanism_lines = {
    std::string_view("Reaction scheme of General Modifier (Botts-Morales) Mechanism:"),
    std::string_view(""),
    std::string_view("            Km              kcat"),
    std::string_view("   E + S  <====>  ES  ------------>  E + P"),
    std::string_view("     +             +"),
    std::string_view("     I             I"),
    std::string_view("    Ki            a*Ki"),
    std::string_view("   EI + S <====>  ESI ------------>  EI + P"),
    std::string_view("            a*Km            b*kcat"),
    std::string_view(""),
    std::string_view("[E]    free enzyme        [ES]  enzyme-substrate complex"),
    std::string_view("[EI]   enzyme-inhibitor complex"),
    std::string_view("[ESI]  enzyme-substrate-inhibitor complex"),
    std::string_view("[S]    substrate          [I]   inhibitor (modifier)"),
    std::string_view("[P]    product"),
    std::string_view("Km     substrate dissociation constant"),
    std::string_view("Ki     inhibitor binding dissociation constant"),
    std::string_view("a, b   dimensionless constants that define the type of the"),
    std::string_view("       inhibition mechanism"),
    std::string_view(""),
    std::string_view("Every model of the library rests on the rapid-equilibrium"),
    std::string_view("assumption: the binding steps are fast compared with product"),
    std::string_view("formation. Check first that the inhibitor is not tight-binding"),
    std::string_view("(inhibitor concentrations close to the enzyme concentration);"),
    std::string_view("tight-binding inhibition needs other models."),
    std::string_view(""),
    std::string_view("b is the relative activity of the ESI complex:"),
    std::string_view("   b = 0      linear (complete) inhibition, ESI forms no product;"),
    std::string_view("   0 < b < 1  partial (hyperbolic) inhibition;"),
    std::string_view("   b = 1      [ES] and [ESI] are equally active."),
    std::string_view(""),
    std::string_view("1/a is the allosteric coupling constant between S and I:"),
    std::string_view("   1/a = 1    (a = 1) I binds E and ES equally well;"),
    std::string_view("   1/a = 0    (a = infinity) I binds the free enzyme only."),
    std::string_view(""),
    std::string_view("When several mechanisms fit the data equally well, apply the"),
    std::string_view("principle of parsimony: prefer the simplest of them."),
    std::string_view(""),
    std::string_view("References:"),
    std::string_view("J. Botts, M. Morales (1953) Analytical description of the effects"),
    std::string_view("   of modifiers and of enzyme multivalency upon the steady state"),
    std::string_view("   catalyzed reaction rate. Trans. Faraday Soc. 49, 696-707."),
    std::string_view("A. Baici (2015) Kinetics of Enzyme-Modifier Interactions."),
    std::string_view("   Springer, Wien."),
};

constexpr std::array mc50_lines = {
    std::string_view("MC50 OF THE GENERAL MODIFIER (BOTTS-MORALES) MECHANISM"),
    std::string_view(""),
    std::string_view("The IC50, the inhibitor concentration that halves the rate, is"),
    std::string_view("defined for linear inhibitors only: a partial (hyperbolic)"),
    std::string_view("inhibitor may never halve the rate. The MC50 is the modifier"),
    std::string_view("concentration that produces 50 % of the limiting effect on the"),
    std::string_view("rate, the effect the modifier has at saturating concentration."),
    std::string_view(""),
    std::string_view("MC50 = alpha*Ki*(Km + [S]) / (alpha*Km + [S])"),
    std::string_view(""),
    std::string_view("For models 1 and 2, where the beta parameter is zero, the MC50"),
    std::string_view("equals the IC50."),
    std::string_view(""),
    std::string_view("Caution: the MC50 depends on [S]. Compare MC50 values only at"),
    std::string_view("the same substrate concentration and under the same"),
    std::string_view("experimental conditions (pH, temperature, buffer, enzyme)."),
    std::string_view(""),
    std::string_view("References:"),
    std::string_view("A. Baici (2015) Kinetics of Enzyme-Modifier Interactions."),
    std::string_view("   Springer, Wien."),
    std::string_view("I. H. Segel (1975) Enzyme Kinetics. Wiley, New York."),
};

constexpr std::array help_lines = {
    std::string_view("   INHIBRA\u2122 - Enzyme Inhibition Modeling Software"),
    std::string_view(" Questions and reports of problems: the Inhibra project's tracker."),
    std::string_view(""),
    std::string_view(" Tabs: Results (the ranked models, the verdict on top), Plots"),
    std::string_view(" (the run's charts), Report (the results file). The status bar"),
    std::string_view(" shows the file, the weighting, a run's progress and Stop."),
    std::string_view(" The Data pane on the left lists the rows by curve: clear a row's"),
    std::string_view(" box to leave it out of the next run. The data file is not"),
    std::string_view(" changed; the results file names the rows left out."),
    std::string_view(""),
    std::string_view(" The tool bar under the menus keeps the one-click commands:"),
    std::string_view(" [OpenData], [Models], [Run], [Clear], [XY_Plot], [Residuals],"),
    std::string_view(" [Ca/Sp_Plot], [MC50_Plot], [Help], [About] and [Quit]."),
    std::string_view(""),
    std::string_view(" 1- Open a data file (.in, or a .csv/.tsv/.tab/.xlsx table):"),
    std::string_view("    [OpenData], [File/Open Data File], [File/Recent Files], or"),
    std::string_view("    drop it on the window; [File/Import Table\u2026] previews how a"),
    std::string_view("    table will be read; [File/Edit Data File] opens an editor."),
    std::string_view(" 2- Choose the models with [Models] or [Fit/Models\u2026]."),
    std::string_view(" 3- [Settings/Weight]: a mark shows what is in force, one of"),
    std::string_view("    [Turn-ON Robust Wt] or [Turn-OFF Robust Wt]; one of"),
    std::string_view("    [Equal Weights], [Relative Weights (1/v\u00b2)] or [Poisson"),
    std::string_view("    Weights (1/v)]; one of [Refine Fits (Default)] or [Chain Only"),
    std::string_view("    (Reproduce Earlier Results)]."),
    std::string_view(" 4- [Run] or [Fit/Run Curve-fit] fits them; Stop ends a run"),
    std::string_view("    early, and then no results file is written."),
    std::string_view(" 5- [Settings/Pause at Each Model's Plot]: the run waits at each"),
    std::string_view("    chart until you press Continue; the window stays usable."),
    std::string_view("    Also [Settings/Fast Fitting], [Settings/Axis Units...] and"),
    std::string_view("    [Settings/Show Replicates as Mean \u00b1 SD]."),
    std::string_view(" 6- [XY_Plot] or [Plots/XY Plot]: the best model's fit;"),
    std::string_view("    [Residuals] or [Plots/Residuals]; [Ca/Sp_Plot] or"),
    std::string_view("    [Plots/Ca/Sp Plot]: catalytic or specific; [MC50_Plot] or"),
    std::string_view("    [Plots/MC50 Plot]; [Plots/Lineweaver-Burk Plot] and"),
    std::string_view("    [Plots/Dixon Plot]: the data transformed, lines from the fit;"),
    std::string_view("    [Plots/Show Model Plots of Last Run]. By"),
    std::string_view("    [Settings/Residuals Against Fitted Rate] the residuals are"),
    std::string_view("    drawn against the fitted rate instead of [S]."),
    std::string_view(" 7- [Fit/Results Table] shows the ranked table again;"),
    std::string_view("    [Fit/Check the Verdict by Simulation\u2026] tests the verdict."),
    std::string_view(" 8- Results are saved in filename.out beside the data file;"),
    std::string_view("    [File/Save Results] saves a copy, [File/Print Results] prints."),
    std::string_view(" 9- [Clear] or [Fit/Clear Display] clears the displayed results."),
    std::string_view(" 10- [Help], [Help/Help], [About], [Help/About],"),
    std::string_view("    [File/Example Data File], [Help/Model Library],"),
    std::string_view("    [Help/Mechanism of Inhibition] and [Fit/MC50] explain the"),
    std::string_view("    program, data file, models and theory."),
    std::string_view(" 11- [Quit] or [File/Quit] ends the program."),
    std::string_view(""),
    std::string_view("Note: when several mechanisms fit equally well, prefer the"),
    std::string_view("simplest: linear mixed (model 4) over partial (hyperbolic) mixed"),
    std::string_view("(model 9). The verdict weighs the models by AICc and the F tests"),
    std::string_view("of nested pairs. The Mechanism and MC50 pages give the theory."),
};

constexpr std::array about_lines = {
    std::string_view("INHIBRA\u2122 - Enzyme Inhibition Modeling Software"),
    std::string_view("Version " INHIBRA_VERSION),
    std::string_view(""),
    std::string_view("Copyright (c) the Inhibra developers."),
    std::string_view(""),
    std::string_view("Terms of use:"),
    std::string_view("Inhibra is provided \"as is\", without warranty of any kind,"),
    std::string_view("express or implied, including the warranties of accuracy and of"),
    std::string_view("fitness for a particular purpose. The user alone is responsible"),
    std::string_view("for its installation and use and for judging whether its results"),
    std::string_view("suit the purpose at hand. In no event shall the developers be"),
    std::string_view("liable for any claim, damage or other liability arising from the"),
    std::string_view("use of the software or of its results."),
};

constexpr std::array splash_text = {
    std::string_view("Inhibra - Enzyme Inhibition Modeling Software"),
    std::string_view(""),
    std::string_view("Inhibra is a nonlinear regression optimization routine"),
    std::string_view("using Nelder-Mead Simplex, Conjugate Gradient and"),
    std::string_view("Quadratic-programming techniques to find the best-fit"),
    std::string_view("parameter values to enzyme inhibition models."),
    std::string_view(""),
    std::string_view("NO CLAIM OR WARRANTY IS MADE WITH RESPECT"),
    std::string_view("TO THE ACCURACY AND FITNESS OF THIS"),
    std::string_view("SOFTWARE FOR A SPECIFIC APPLICATION, AND"),
    std::string_view("THE RESPONSIBILITY IS ENTIRELY WITH THE USER"),
    std::string_view("FOR ITS INSTALLATION, USE, AND FUNCTIONALITY."),
    std::string_view(""),
    std::string_view("Version " INHIBRA_VERSION),
};

// A page blocks nothing: it stays open beside the window while the person works on.
void show_page(toolkit::window_system& tk, const std::string& text) {
  tk.show_info_window(core::box_kind::information, text);
}

}  // namespace

std::string page_text(std::span<const std::string_view> lines, int buffer) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  if (text.size() > static_cast<std::size_t>(buffer)) {
    std::size_t cut = static_cast<std::size_t>(buffer);
    // Never leave half of a multi-byte character behind.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
      --cut;
    text.resize(cut);
  }
  return std::string(strings::trim(text));
}

std::string example_page_text() {
  return page_text(example_lines, example_page_buffer);
}
std::string models_page_text() {
  return page_text(models_lines, models_page_buffer);
}
std::string mechanism_page_text() {
  return page_text(mechanism_lines, mechanism_page_buffer);
}
std::string mc50_page_text() {
  return page_text(mc50_lines, mc50_page_buffer);
}
std::string help_page_text() {
  return page_text(help_lines, help_page_buffer);
}
std::string about_page_text() {
  return page_text(about_lines, about_page_buffer);
}

void examplefile(toolkit::window_system& tk) {
  show_page(tk, example_page_text());
}
void models(toolkit::window_system& tk) {
  show_page(tk, models_page_text());
}
void mechanism(toolkit::window_system& tk) {
  show_page(tk, mechanism_page_text());
}
void mc50(toolkit::window_system& tk) {
  show_page(tk, mc50_page_text());
}
void help(toolkit::window_system& tk) {
  show_page(tk, help_page_text());
}
void about(toolkit::window_system& tk) {
  show_page(tk, about_page_text());
}

std::span<const std::string_view> splash_lines() {
  return splash_text;
}

void splash(toolkit::window_system& tk, int main_window, int milliseconds) {
  // Sized to its text in the GUI font, centred on the screen.
  const int margin = tk.scaledpi(24);
  const int size = tk.scaledpi(14);
  int width = 0;
  for (auto line : splash_text)
    width = std::max(width, tk.textwidth(toolkit::gui_font, size, line));
  const int line_height = tk.textheight(toolkit::gui_font, size) + tk.scaledpi(4);
  width += 2 * margin;
  const int height = static_cast<int>(splash_text.size()) * line_height + 2 * margin;
  const int left = std::max(0, (tk.getmaxwidth() - width) / 2);
  const int top = std::max(0, (tk.getmaxheight() - height) / 2);

  const int id = tk.initwindow(width, height, "Inhibra", left, top, false, false);
  tk.setbkcolor(toolkit::window_system::creatergb(242, 245, 250));
  tk.setcolor(toolkit::black);
  tk.clearviewport();
  tk.settextstyle(toolkit::gui_font, 0, size);
  tk.settextjustify(toolkit::left_text, toolkit::top_text);
  tk.setwindowtitle("Inhibra");
  int y = margin;
  for (auto line : splash_text) {
    tk.outtextxy(margin, y, line);
    y += line_height;
  }
  // A click or a key ends the wait early.
  tk.setwindowinputcallback([&tk, id] { tk.stopidle(id); });
  tk.startidle(milliseconds);
  tk.closewindow(id);
  tk.setcurrentwindow(main_window);
}

}  // namespace inhibra::shell
