// Input quoted in a message: a bad line of a table or a member name can be of any length
// and hold any bytes, and the message goes to the terminal and into a message box.
#pragma once

#include <cstddef>
#include <string>

namespace tdx {

inline constexpr size_t kQuotedInputLimit = 60;

// At most the first kQuotedInputLimit bytes of `text` (cut before a partial UTF-8
// character), followed by "..." when something was cut; control characters show as '?'.
inline std::string QuotedInput(const std::string& text) {
  size_t n = text.size();
  bool cut = false;
  if (n > kQuotedInputLimit) {
    n = kQuotedInputLimit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    cut = true;
  }
  std::string out = text.substr(0, n);
  for (char& c : out) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  if (cut) out += "...";
  return out;
}

}  // namespace tdx
