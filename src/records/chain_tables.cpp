#include "records/chain_tables.h"

#include <algorithm>

namespace x11sa {

void ChainTables::reset(long length) {
  length_ = std::max(length, 0L);
  const auto n = static_cast<std::size_t>(length_);
  // Only the tables that are vectors: the reports (B15, E4, F2, the charts
  // and the spans' tables) are not.
  for (int k = 0; k < kOutTableCount; ++k) tables_[static_cast<std::size_t>(out_table(k))].assign(n, kMissing);
  for (auto& s : series_) s.assign(n, kMissing);
  // The regression reads month types a year past the vectors' last position.
  types_.assign(n + 24, short{-999});
}

}  // namespace x11sa
