// Readable names of the cases of parameterised tests: the words of a case as one identifier
// ("automatic reset" -> "AutomaticReset", "-1" -> "Minus1", "" -> "Empty").
#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace vex::testing_names {

inline std::string CaseName(std::string_view words) {
  std::string r;
  bool up = true;
  for (size_t i = 0; i < words.size(); ++i) {
    const auto c = static_cast<unsigned char>(words[i]);
    if (std::isalnum(c)) {
      r += static_cast<char>(up ? std::toupper(c) : c);
      up = false;
    } else {
      // a sign before a number, at the start of a word
      if (c == '-' && i + 1 < words.size() && std::isdigit(static_cast<unsigned char>(words[i + 1])) &&
          (i == 0 || !std::isalnum(static_cast<unsigned char>(words[i - 1]))))
        r += "Minus";
      up = true;
    }
  }
  return r.empty() ? "Empty" : r;
}

}  // namespace vex::testing_names
