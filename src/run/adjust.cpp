#include "x11sa/adjust.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "data/series_input.h"
#include "host/exit.h"
#include "host/host.h"
#include "records/exit_levels.h"
#include "records/table_catalogue.h"
#include "render/listing_sink.h"
#include "run/series_step.h"
#include "run/variable_loop.h"

namespace x11sa {

std::span<const double> AdjustedSeries::table(std::string_view name) const {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return std::span<const double>(values).subspan(i * length, length);
  return {};
}

namespace {

// The log's lines by severity; a line without one is a note.
std::vector<LogMessage> messages_of(std::string_view log) {
  static constexpr std::pair<std::string_view, MessageSeverity> kPrefixes[] = {
      {"NOTE: ", MessageSeverity::Note}, {"WARNING: ", MessageSeverity::Warning}, {"ERROR: ", MessageSeverity::Error}};
  std::vector<LogMessage> messages;
  while (!log.empty()) {
    const std::size_t end = log.find('\n');
    std::string_view line = log.substr(0, end);
    log.remove_prefix(end == std::string_view::npos ? log.size() : end + 1);
    LogMessage& m = messages.emplace_back();
    for (const auto& [prefix, severity] : kPrefixes) {
      if (!line.starts_with(prefix)) continue;
      m.severity = severity;
      line.remove_prefix(prefix.size());
      break;
    }
    m.text = line;
  }
  return messages;
}

HostSettings settings_of(const SeriesOptions& options) {
  HostSettings settings;
  if (options.listing) {
    settings.linesize = std::clamp(options.listing->linesize, 64, 256);
    settings.pagesize = std::clamp(options.listing->pagesize, 15, 32767);
  }
  return settings;
}

}  // namespace

AdjustedSeries adjust_series(std::span<const double> values, const SeriesOptions& options) {
  AdjustedSeries result;
  Host host(TextOut(&result.log), options.listing ? TextOut(&result.listing) : TextOut(), TextOut(),
            settings_of(options));
  X11ListingSink listing_sink(host.listing());
  if (options.listing) {
    host.ods().add_sink(&listing_sink);
    host.ods().begin_step("X11", 0);
  }
  int level = exit_level::kNormal;
  try {
    if (!options.prior_factors.empty() && options.prior_factors.size() != values.size()) {
      host.log().error(fmt::format("{} prior factors were given for {} values; give one per value.",
                                   options.prior_factors.size(), values.size()));
      xexit(exit_level::kResource);
    }
    SeriesStep series = series_step(values.size(), options, host);
    series.options.keep_diagnostics = options.diagnostics;
    const StepOptions& step = series.options;
    level = series.exit_level;
    if (level > exit_level::kWarning) xexit(level);
    GroupData group = read_series(step, options.name, values, options.prior_factors, host);
    level = std::max(level, group.exit_level);
    if (level > exit_level::kWarning) xexit(level);
    if (!group.can_be_adjusted()) {
      host.log().error("The series cannot be adjusted.");
      xexit(std::max(level, exit_level::kDataError));
    }
    OutputDataSets no_datasets(step, {}, host);
    CapturedTables captured;
    ChainWorkspace work;
    std::vector<VariableOutcome> outcomes =
        adjust_group(GroupTarget{step, host, no_datasets, {}, &captured}, group, 1, std::string(), work);
    result.length = static_cast<std::size_t>(out_rows_of(step, group).rows);
    for (int k = 0; k < kOutTableCount; ++k) {
      if (step.out_names[static_cast<std::size_t>(k)].empty()) continue;
      const std::vector<double>& column = captured[static_cast<std::size_t>(k)];
      if (column.size() != result.length)
        xebug_exit(fmt::format("table {} of the series is missing", table_name(out_table(k))));
      result.names.emplace_back(table_name(out_table(k)));
      result.values.insert(result.values.end(), column.begin(), column.end());
    }
    VariableOutcome& found = outcomes.front();
    result.henderson = found.trend.length;
    result.ic_ratio = found.trend.ic_ratio;
    result.seasonality = found.seasonality;
    result.d9a = found.d9a;
    result.e4 = std::move(found.e4);
    result.f2 = found.f2;
    result.arima = std::move(found.arima);
    result.spans = found.spans;
    result.exit_level = level;
  } catch (const StepExit& e) {
    if (!e.text().empty()) host.log().error(fmt::format("Internal error: {}", e.text()));
    result.exit_level = std::max(e.level(), level);
    result.names.clear();
    result.values.clear();
    result.length = 0;
  }
  if (options.listing) host.ods().end_step(result.exit_level);
  result.messages = messages_of(result.log);
  return result;
}

}  // namespace x11sa
