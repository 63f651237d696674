#include "strings/classic_numbers.hpp"

#include <clocale>

namespace inhibra::strings {

void keep_numbers_classic() {
  // Only the number format: the rest of the locale (the character set, messages)
  // stays as Qt set it from the environment.
  std::setlocale(LC_NUMERIC, "C");
}

}  // namespace inhibra::strings
