#pragma once
// Locales that write numbers with a decimal comma (de_DE.UTF-8, fr_FR.UTF-8),
// generated with localedef into a folder of the test's own, so that a test under
// them does not depend on the locales the machine has. A process finds them when
// LOCPATH names the folder. localedef needs the locale sources of the `locales`
// package (scripts/install-deps installs it); without them error() says so and the
// test fails.
#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace inhibra::support {

class comma_locales {
 public:
  comma_locales() {
    for (const std::string& name : names()) {
      const std::string source = name.substr(0, name.find('.'));
      const std::string log = dir_.file(source + ".log");
      const std::string made = dir_.file(name);
      const std::string command =
          "localedef -i " + source + " -f UTF-8 \"" + made + "\" >\"" + log + "\" 2>&1 </dev/null";
      const int generated = std::system(command.c_str());
      // The locale must really be there and write a decimal comma.
      const std::string point = dir_.file(source + ".point");
      const std::string check = "LOCPATH=\"" + locpath() + "\" LC_ALL=" + name +
                                " locale decimal_point >\"" + point + "\" 2>&1";
      if (generated != 0 || std::system(check.c_str()) != 0 || read_file(point) != ",\n") {
        error_ += "localedef could not make " + name +
                  " (install the locales package: " + "scripts/install-deps): " + read_file(log) +
                  read_file(point);
      }
    }
  }

  [[nodiscard]] static std::vector<std::string> names() { return {"de_DE.UTF-8", "fr_FR.UTF-8"}; }
  // The folder to put in LOCPATH.
  [[nodiscard]] std::string locpath() const { return dir_.path().string(); }
  // Empty when both locales were made; else what went wrong.
  [[nodiscard]] const std::string& error() const { return error_; }

 private:
  temp_dir dir_;
  std::string error_;
};

}  // namespace inhibra::support
