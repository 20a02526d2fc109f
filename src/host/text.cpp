#include "host/text.h"

#include <algorithm>

namespace x11sa {

namespace {

bool is_control(char c) noexcept {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

}  // namespace

bool has_control_chars(std::string_view text) noexcept {
  return std::any_of(text.begin(), text.end(), is_control);
}

std::string visible_text(std::string_view text, std::size_t limit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::size_t kept = std::min(text.size(), limit);
  while (kept < text.size() && kept > 0 && (static_cast<unsigned char>(text[kept]) & 0xC0) == 0x80) --kept;
  std::string out;
  out.reserve(kept + 8);
  for (const char c : text.substr(0, kept)) {
    if (!is_control(c)) {
      out.push_back(c);
      continue;
    }
    out.push_back('\\');
    switch (c) {
      case '\n':
        out.push_back('n');
        break;
      case '\r':
        out.push_back('r');
        break;
      case '\t':
        out.push_back('t');
        break;
      default: {
        const auto u = static_cast<unsigned char>(c);
        out.push_back('x');
        out.push_back(kHex[u >> 4]);
        out.push_back(kHex[u & 0xF]);
      }
    }
  }
  if (kept < text.size()) out += "...";
  return out;
}

}  // namespace x11sa
