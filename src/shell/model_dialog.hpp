#pragma once
// The model-selection dialog: ten check boxes, one per library model, and five
// buttons. It edits the shell's model choice and is modal: the main
// window is disabled while it is open.
#include <array>
#include <string_view>

#include "shell/shell_state.hpp"

namespace inhibra::toolkit {
class window_system;
}

namespace inhibra::shell {

// Check box labels, box k-1 for model k (71 characters each, padded so that the
// bracketed conditions line up in the fixed-pitch font).
inline constexpr std::array<std::string_view, 10> model_labels = {
    "1- Linear Specific Inhibition, LSpI         [a = infinity, b = 0]      ",
    "2- Linear Mixed Inhibition, LMx(Sp=Ca)I     [a = 1, b = 0]             ",
    "3- Linear Mixed Inhibition, LMx(Sp<Ca)I     [0 < a < 1, b = 0]         ",
    "4- Linear Mixed Inhibition, LMx(Sp>Ca)I     [a > 1, b = 0]             ",
    "5- Hyperbolic Specific Inhibition, HSpI     [a > 1, b = 1, a > b]      ",
    "6- Hyperbolic Mixed Inhibition, HMx(Sp=Ca)I [a = 1, 0 < b < 1, a > b]  ",
    "7- Hyperbolic Catalytic Inhibition, HCaI    [0 < a,  0 < b < 1, a = b] ",
    "8- Hyperbolic Mixed Inhibition, HMx(Sp<Ca)I [0 < a < 1,0 < b < 1,a > b]",
    "9- Hyperbolic Mixed Inhibition, HMx(Sp>Ca)I [a > 1, 0 < b < 1]         ",
    "10-General Hyperbolic Enzyme-Modifier Model [0 < a, 0 < b]             ",
};

// The heading above the boxes: a title and two lines of literature reference.
inline constexpr std::array<std::string_view, 3> model_heading = {
    "Model Nomenclature of General Enzyme-Modifier Mechanisms:",
    "A. Baici (2015) Kinetics of Enzyme-Modifier Interactions, Springer, Wien;",
    "J. Botts, M. Morales (1953) Trans. Faraday Soc. 49, 696-707.",
};

// The buttons, left to right.
inline constexpr std::array<std::string_view, 5> model_buttons = {"Linear", "Hyperbolic",
                                                                  "All Models", "Clear", "Close"};

struct dialog_geometry {
  int width = 0;
  int height = 0;
  int row = 0;            // vertical step between the boxes: height / 15
  int box_width = 0;      // width of each check box
  int button_width = 0;   // width of each button
  int button_step = 0;    // from one button's left edge to the next one's
  int textbook_x = 0;     // left edge of the textbook names beside the boxes; 0: none
  int textbook_size = 0;  // their text size
  // Left edge of button b (0..4): the row is centred on the window's middle.
  [[nodiscard]] int button_x(int b) const {
    return width / 2 - (4 * button_step + button_width) / 2 + b * button_step;
  }
};

// The dialog's size: a share of the screen (width / 3.7, height / 2.3), grown
// until the heading, the ten boxes and the five buttons fit without overlapping.
// Boxes are 700 and buttons 80 pixels wide, 100 apart, unless their labels need more.
// Each box has its model's textbook name beside it, in a smaller grey text.
[[nodiscard]] dialog_geometry model_dialog_geometry(toolkit::window_system& tk);

// model_lib: closes open child windows, disables the main window, runs the dialog
// until "Close" is pressed, enables the main window again. On return the shell's
// model choice holds the ticked models.
void model_lib(toolkit::window_system& tk, shell_state& st);

}  // namespace inhibra::shell
