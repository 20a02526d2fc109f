// Transitional: the sliding spans as the variable loop runs them today. The
// reruns set the run's flow record to each span in turn and run tables A to
// D through X11COM; this is the only part of the spans that still reads the
// run state. The layout and the statistics are pure (spans/layout.h,
// spans/statistics.h), the reports read their outcome (report/spans.h). Once
// the table chain runs on a stretch of its own, adjust_span() calls it and
// this file goes.
#pragma once

#include "records/spans_outcome.h"
#include "run/x11com.h"

namespace x11sa {

// The sliding spans of the variable whose flow record is `variable`: lays
// the spans out (message 219 when fewer than two fit), adjusts each span,
// writes the OUTSPAN= rows, and when printing compares the spans and prints
// the reports S0 to S7. `variable` and the rest of the run state are left
// as they were. Returns the number of spans, 0 when the series is too short.
int run_sliding_spans(X11COM* Xp, X11FLOW* variable);

// The run's flow record of span `extent` of `layout`, as if the span were
// a variable of its own; `variable` is the variable's record.
[[nodiscard]] X11FLOW span_flow(const X11COM* Xp, const X11FLOW& variable, const SpanLayout& layout,
                                const SpanExtent& extent);

// Runs tables A to D on the span whose flow record is `span` without
// printing or writing anything, and returns what the spans compare: D10,
// D11, the trading-day factors (C18, or C16 where C18 is not formed) when
// a regression is in effect, and the seasonality tests on D8. Leaves the
// run's flow record set to `span`.
[[nodiscard]] SpanEstimates adjust_span(X11COM* Xp, const X11FLOW& span);

}  // namespace x11sa
