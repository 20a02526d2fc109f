// Messages of the arima subsystem.
#include <array>

#include "host/messages.h"

namespace x11sa {

namespace {

using enum Severity;

// Ordered by number.
constexpr std::array<Message, 0> kPart{};

}  // namespace

std::span<const Message> arima_messages() noexcept { return kPart; }

}  // namespace x11sa
