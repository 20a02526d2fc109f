#include "render/svg.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>

#include <fmt/format.h>

#include "render/html.h"
#include "numeric/axis_scale.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

constexpr const char* kColours[] = {"#1f5fa8", "#d9541e", "#2e8b3d", "#7a3fa0"};

struct Series {
  std::string label;
  std::vector<double> y;  // missing where absent
};

double value(const OdsCell& c) {
  const auto* v = std::get_if<double>(&c);
  return v != nullptr && std::isfinite(*v) && !is_missing(*v) ? *v : kMissing;
}

std::string text(const OdsCell& c) {
  if (const auto* s = std::get_if<std::string>(&c)) return *s;
  return format_cell(c, -1);
}

// Text is measured as this many pixels per character at the charts' font
// sizes: wide enough for the usual sans-serif faces.
constexpr double kCharWidth = 7.0;
constexpr int kLegendRow = 16;  // pixels from one legend row to the next

// The legend: a swatch and the label of each series, in rows that wrap
// within [x0, x1]. Returns the markup and the rows it takes.
std::pair<std::string, int> legend_items(const std::vector<Series>& series, double x0, double x1) {
  std::string out;
  double x = x0;
  int row = 0;
  for (std::size_t k = 0; k < series.size(); ++k) {
    const double item = 22 + kCharWidth * static_cast<double>(text_width(series[k].label));
    if (x > x0 && x + item > x1) {
      x = x0;
      ++row;
    }
    const char* colour = kColours[k % std::size(kColours)];
    const int y = 12 + row * kLegendRow;
    out += fmt::format("<line x1=\"{:.0f}\" y1=\"{}\" x2=\"{:.0f}\" y2=\"{}\" stroke=\"{}\" stroke-width=\"3\"/>\n", x, y,
                       x + 18, y, colour);
    out += fmt::format("<text x=\"{:.0f}\" y=\"{}\" font-size=\"12\">{}</text>\n", x + 22, y + 4,
                       html_escape(series[k].label));
    x += item + 18;
  }
  return {out, series.empty() ? 0 : row + 1};
}

// One line chart of the series against the row labels, with its legend
// above the plot when `legend`.
std::string line_chart(const std::vector<std::string>& labels, const std::vector<Series>& series, int width,
                       int height, bool legend) {
  const int left = 64, right = 16, bottom = 40;
  const auto [legend_markup, legend_rows] =
      legend ? legend_items(series, left, width - right) : std::pair<std::string, int>{};
  const int top = legend ? 12 + legend_rows * kLegendRow : 12;
  const int plot_w = width - left - right;
  const int plot_h = height - top - bottom;
  double lo = 0, hi = 0;
  bool any = false;
  for (const auto& s : series)
    for (double v : s.y) {
      if (is_missing(v)) continue;
      lo = any ? std::min(lo, v) : v;
      hi = any ? std::max(hi, v) : v;
      any = true;
    }
  std::string out = fmt::format(
      "<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" width=\"{}\" height=\"{}\" viewBox=\"0 0 {} {}\" "
      "role=\"img\">\n",
      width, height, width, height);
  if (!any) return out + "<text x=\"10\" y=\"20\" font-size=\"12\">No values</text></svg>\n";
  AxisScale sc;
  if (const auto chosen = choose_axis_scale(lo, hi, plot_h, 40)) {
    sc = *chosen;
  } else {
    sc.low = lo;
    sc.high = hi > lo ? hi : lo + 1.0;
    sc.ticks = 1;
    sc.increment = sc.high - sc.low;
  }
  const std::size_t n = labels.size();
  auto x_of = [&](std::size_t i) {
    return left + (n > 1 ? static_cast<double>(i) * plot_w / static_cast<double>(n - 1) : plot_w / 2.0);
  };
  auto y_of = [&](double v) { return top + plot_h - (v - sc.low) / (sc.high - sc.low) * plot_h; };
  out += fmt::format("<rect x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\" fill=\"none\" stroke=\"#999\"/>\n", left, top,
                     plot_w, plot_h);
  // Value axis: ticks and labels.
  for (int k = 0; k <= sc.ticks; ++k) {
    const double v = sc.low + k * sc.increment;
    const double y = y_of(v);
    out += fmt::format("<line x1=\"{}\" y1=\"{:.1f}\" x2=\"{}\" y2=\"{:.1f}\" stroke=\"#e0e0e0\"/>\n", left, y,
                       left + plot_w, y);
    out += fmt::format("<text x=\"{}\" y=\"{:.1f}\" font-size=\"11\" text-anchor=\"end\">{}</text>\n", left - 6, y + 4,
                       html_escape(fmt::format("{:.10g}", v)));
  }
  // Time axis: about eight labels.
  const std::size_t step = std::max<std::size_t>(1, (n + 7) / 8);
  for (std::size_t i = 0; i < n; i += step) {
    const double x = x_of(i);
    out += fmt::format("<line x1=\"{:.1f}\" y1=\"{}\" x2=\"{:.1f}\" y2=\"{}\" stroke=\"#999\"/>\n", x, top + plot_h, x,
                       top + plot_h + 5);
    out += fmt::format("<text x=\"{:.1f}\" y=\"{}\" font-size=\"11\" text-anchor=\"middle\">{}</text>\n", x,
                       top + plot_h + 18, html_escape(labels[i]));
  }
  // One polyline per unbroken stretch of each series.
  for (std::size_t k = 0; k < series.size(); ++k) {
    const char* colour = kColours[k % std::size(kColours)];
    std::string points;
    auto flush = [&] {
      if (!points.empty())
        out += fmt::format("<polyline fill=\"none\" stroke=\"{}\" stroke-width=\"1.5\" points=\"{}\"/>\n", colour,
                           points);
      points.clear();
    };
    for (std::size_t i = 0; i < n && i < series[k].y.size(); ++i) {
      const double v = series[k].y[i];
      if (is_missing(v)) {
        flush();
        continue;
      }
      points += fmt::format("{:.1f},{:.1f} ", x_of(i), y_of(v));
    }
    flush();
  }
  return out + legend_markup + "</svg>\n";
}

}  // namespace

std::string svg_chart(const OdsTable& t) {
  int panel_col = -1;
  std::vector<std::size_t> series_cols;
  for (std::size_t c = 1; c < t.columns.size(); ++c) {
    if (t.columns[c].name == "Panel") {
      panel_col = static_cast<int>(c);
    } else if (t.columns[c].type == ColType::Num) {
      series_cols.push_back(c);
    }
  }
  auto collect = [&](const std::vector<const std::vector<OdsCell>*>& rows) {
    std::vector<std::string> labels;
    std::vector<Series> series(series_cols.size());
    for (std::size_t k = 0; k < series_cols.size(); ++k) {
      const auto& col = t.columns[series_cols[k]];
      series[k].label = col.label.empty() ? col.name : col.label;
    }
    for (const auto* row : rows) {
      labels.push_back(text((*row)[0]));
      for (std::size_t k = 0; k < series_cols.size(); ++k) series[k].y.push_back(value((*row)[series_cols[k]]));
    }
    return std::pair{labels, series};
  };
  if (panel_col < 0) {
    std::vector<const std::vector<OdsCell>*> rows;
    for (const auto& r : t.rows) rows.push_back(&r);
    const auto [labels, series] = collect(rows);
    return line_chart(labels, series, 900, 320, true);
  }
  // Small multiples: one chart per panel, in the order the panels appear.
  std::vector<std::string> order;
  std::map<std::string, std::vector<const std::vector<OdsCell>*>> panels;
  for (const auto& r : t.rows) {
    const std::string p = text(r[static_cast<std::size_t>(panel_col)]);
    if (panels.find(p) == panels.end()) order.push_back(p);
    panels[p].push_back(&r);
  }
  // One legend for all the panels, above them, as wide as three panels.
  std::string out;
  if (!order.empty()) {
    const std::vector<Series> series = collect(panels[order.front()]).second;
    const int width = 3 * 300 + 2 * 8;
    const auto [markup, rows] = legend_items(series, 8, width - 8);
    const int height = 8 + rows * kLegendRow;
    out += fmt::format(
        "<svg class=\"legend\" xmlns=\"http://www.w3.org/2000/svg\" width=\"{}\" height=\"{}\" viewBox=\"0 0 {} {}\" "
        "role=\"img\">\n{}</svg>\n",
        width, height, width, height, markup);
  }
  out += "<div class=\"panels\" style=\"display:flex;flex-wrap:wrap;gap:8px\">\n";
  for (const auto& p : order) {
    const auto [labels, series] = collect(panels[p]);
    out += "<div><div style=\"font-size:0.85em;font-weight:600\">" + html_escape(p) + "</div>\n";
    out += line_chart(labels, series, 300, 200, false);
    out += "</div>\n";
  }
  return out + "</div>\n";
}

}  // namespace x11sa
