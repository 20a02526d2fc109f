// Charts as inline SVG line charts: axes, tick labels and a legend.
#pragma once

#include <string>

#include "host/ods.h"

namespace x11sa {

// A chart object (first column the row label, an optional "Panel" column,
// then one numeric column per series) as SVG: one line chart, or one small
// chart per panel.
[[nodiscard]] std::string svg_chart(const OdsTable& chart);

}  // namespace x11sa
