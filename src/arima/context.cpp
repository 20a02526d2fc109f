// Engine contexts, their records and the model tree.
#include <utility>

#include "arima/engine.h"
#include "host/message_ids.h"

namespace x11sa {

int init_engine_context(TSACON* tscon) {
  if (tscon == nullptr) return kTsInvalid;
  *tscon = TSACON{};
  try {
    tscon->mempool = std::make_shared<EngineStore>();
  } catch (const std::bad_alloc&) {
    tscon->rc = kTsMemory;
    return kTsMemory;
  }
  tscon->modtre = &tscon->mempool->tree;
  if (int rc = add_model_record(tscon); rc != kTsOk) return rc;
  return add_series_record(tscon);
}

namespace {

// Appends a new record to one of the store's lists; nullptr when memory fails.
template <class T>
T* add_record(TSACON* tscon, std::vector<std::unique_ptr<T>>& list) {
  try {
    list.push_back(std::make_unique<T>());
    tscon->mempool->used += sizeof(T);
    return list.back().get();
  } catch (const std::bad_alloc&) {
    tscon->memdef += static_cast<long>(sizeof(T));
    engine_message(tscon, 0, 1, {tscon->memdef});
    tscon->rc = kTsMemory;
    return nullptr;
  }
}

}  // namespace

int add_model_record(TSACON* tscon) {
  if (tscon == nullptr || tscon->mempool == nullptr) return kTsInvalid;
  TSMODEL* model = add_record(tscon, tscon->mempool->models);
  if (model == nullptr) return kTsMemory;
  model->tseries = tscon->tseries;
  tscon->model = model;
  return kTsOk;
}

int add_series_record(TSACON* tscon) {
  if (tscon == nullptr || tscon->mempool == nullptr) return kTsInvalid;
  TSERIES* series = add_record(tscon, tscon->mempool->series);
  if (series == nullptr) return kTsMemory;
  tscon->tseries = series;
  if (tscon->model != nullptr && tscon->model->tseries == nullptr) tscon->model->tseries = series;
  return kTsOk;
}

int add_forecast_record(TSACON* tscon) {
  if (tscon == nullptr || tscon->mempool == nullptr) return kTsInvalid;
  TSFORECAST* fc = add_record(tscon, tscon->mempool->forecasts);
  if (fc == nullptr) return kTsMemory;
  fc->model = tscon->model;
  tscon->tsfor = fc;
  return kTsOk;
}

int register_model(MODTREE* tree, const void* key, TSMODEL* model) {
  if (tree == nullptr || model == nullptr) return kTsInvalid;
  try {
    tree->nodes[key] = model;
  } catch (const std::bad_alloc&) {
    return kTsMemory;
  }
  return kTsOk;
}

TSMODEL* find_registered_model(const MODTREE* tree, const void* key) {
  if (tree == nullptr) return nullptr;
  auto it = tree->nodes.find(key);
  return it == tree->nodes.end() ? nullptr : it->second;
}

void engine_message(TSACON* tscon, int set, int number,
                    std::vector<std::variant<long, double, std::string>> args) {
  if (tscon == nullptr) return;
  try {
    tscon->messages.push_back(EngineMessage{set, number, std::move(args)});
  } catch (const std::bad_alloc&) {
    // The message is lost; the condition itself is still returned as a code.
  }
}

int report_invalid_argument(TSACON* tscon, int rc, const char* where) {
  engine_message(tscon, message_set::kEngine, engine_message_id::kInvalidArgument, {std::string(where)});
  return rc;
}

namespace {

int make_factor(TSACON* tscon, FILTER* filt, int p, int spacing) {
  if (tscon == nullptr || tscon->mempool == nullptr || filt == nullptr) return kTsInvalid;
  if (p < 1) {
    *filt = FILTER{};
    return kTsOk;
  }
  if (int rc = ts_alloc(tscon, filt->dptr, static_cast<std::size_t>(p)); rc != kTsOk) return rc;
  if (int rc = ts_alloc(tscon, filt->vptr, static_cast<std::size_t>(p)); rc != kTsOk) return rc;
  filt->df = p;
  for (int j = 0; j < p; ++j) {
    filt->dptr[j] = (j + 1) * spacing;
    filt->vptr[j] = 0.0;
  }
  return kTsOk;
}

}  // namespace

int make_nonseasonal_factor(TSACON* tscon, FILTER* filt, int p) { return make_factor(tscon, filt, p, 1); }

int make_seasonal_factor(TSACON* tscon, FILTER* filt, int p, int period) {
  if (period < 1 && p >= 1) return kTsInvalid;
  return make_factor(tscon, filt, p, period);
}

}  // namespace x11sa
