// The message catalogue: unique numbers across its parts, texts that format
// with the arguments they name, and fallbacks that never throw.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "host/messages.h"

namespace x11sa {
namespace {

// The highest {n} index a text uses, or the count of {} fields.
int arguments_of(std::string_view text) {
  int automatic = 0;
  int highest = -1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '{') continue;
    if (i + 1 < text.size() && text[i + 1] == '{') {
      ++i;
      continue;
    }
    const std::size_t close = text.find('}', i);
    const std::string_view field = text.substr(i + 1, close - i - 1);
    if (field.empty() || field[0] == ':') {
      ++automatic;
    } else {
      highest = std::max(highest, field[0] - '0');
    }
    i = close;
  }
  return std::max(automatic, highest + 1);
}

TEST(Messages, NumbersAreUniqueAcrossTheParts) {
  const auto all = message_catalogue();
  std::set<int> seen;
  for (const Message& m : all) EXPECT_TRUE(seen.insert(m.number).second) << "message " << m.number << " twice";
  EXPECT_GT(all.size(), 200u);
  for (const auto part : {report_messages(), arima_messages(), spans_messages()})
    for (const Message& m : part) EXPECT_EQ(find_message(m.number), &m) << m.number;
}

TEST(Messages, EveryTextFormatsWithItsArguments) {
  for (const Message& m : message_catalogue()) {
    const int n = arguments_of(m.text);
    ASSERT_LE(n, 5) << m.number;
    const std::string text = n == 0   ? msgtext(m.number)
                             : n == 1 ? msgtext(m.number, 1.5)
                             : n == 2 ? msgtext(m.number, 1.5, 2.5)
                             : n == 3 ? msgtext(m.number, 1.5, 2.5, 3.5)
                             : n == 4 ? msgtext(m.number, 1.5, 2.5, 3.5, 4.5)
                                      : msgtext(m.number, 1.5, 2.5, 3.5, 4.5, 5.5);
    EXPECT_EQ(text.find("arguments do not fit"), std::string::npos) << m.number << ": " << m.text;
  }
}

// Every name of host/message_ids.h stands for a message of its group's set:
// a log line (note, warning, error) or a title or label (text).
TEST(Messages, NamedNumbersExistWithTheSeverityOfTheirGroup) {
  std::ifstream in(X11SA_SOURCE_ROOT "/src/host/message_ids.h");
  ASSERT_TRUE(in) << "message_ids.h not found";
  std::stringstream source;
  source << in.rdbuf();
  const std::string text = source.str();
  const std::regex item(R"(namespace x11sa::(\w+) \{|inline constexpr int (k\w+) = (\d+);)");
  std::string group;
  int names = 0;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), item); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    if (m[1].matched) {
      group = m[1];
      continue;
    }
    if (group == "message_set") continue;
    const int number = std::stoi(m[3]);
    const Message* found = group == "seasonality_text_id" ? find_message881(number)
                           : group == "engine_message_id" ? find_message499(number)
                                                          : find_message(number);
    ++names;
    ASSERT_NE(found, nullptr) << group << "::" << m[2] << " = " << number << " is not in the catalogue";
    const bool text_group = group == "text_id" || group == "seasonality_text_id";
    EXPECT_EQ(found->severity == Severity::Text, text_group) << group << "::" << m[2] << " = " << number;
  }
  EXPECT_GT(names, 200);
}

TEST(Messages, UnknownNumbersAndWrongArgumentsDoNotThrow) {
  EXPECT_NE(msgtext(99999).find("99999"), std::string::npos);
  EXPECT_NE(msgtext(23).find("arguments do not fit"), std::string::npos);  // three expected
  EXPECT_EQ(severity_prefix(Severity::Error), "ERROR: ");
  EXPECT_EQ(find_message(27)->severity, Severity::Error);
}

}  // namespace
}  // namespace x11sa
