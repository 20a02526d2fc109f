// Engine contexts, their records and the model tree.
#include <utility>

#include "arima/engine.h"
#include "host/message_ids.h"

namespace x11sa {

int init_engine_context(EngineContext* context) {
  if (context == nullptr) return kTsInvalid;
  *context = EngineContext{};
  try {
    context->store = std::make_shared<EngineStore>();
  } catch (const std::bad_alloc&) {
    context->code = kTsMemory;
    return kTsMemory;
  }
  context->registry = &context->store->tree;
  if (int rc = add_model_record(context); rc != kTsOk) return rc;
  return add_series_record(context);
}

namespace {

// Appends a new record to one of the store's lists; nullptr when memory fails.
template <class T>
T* add_record(EngineContext* context, std::vector<std::unique_ptr<T>>& list) {
  try {
    list.push_back(std::make_unique<T>());
    context->store->used += sizeof(T);
    return list.back().get();
  } catch (const std::bad_alloc&) {
    context->memory_deficit += static_cast<long>(sizeof(T));
    engine_message(context, 0, 1, {context->memory_deficit});
    context->code = kTsMemory;
    return nullptr;
  }
}

}  // namespace

int add_model_record(EngineContext* context) {
  if (context == nullptr || context->store == nullptr) return kTsInvalid;
  ModelRecord* model = add_record(context, context->store->models);
  if (model == nullptr) return kTsMemory;
  model->series = context->series;
  context->model = model;
  return kTsOk;
}

int add_series_record(EngineContext* context) {
  if (context == nullptr || context->store == nullptr) return kTsInvalid;
  SeriesRecord* series = add_record(context, context->store->series);
  if (series == nullptr) return kTsMemory;
  context->series = series;
  if (context->model != nullptr && context->model->series == nullptr) context->model->series = series;
  return kTsOk;
}

int add_forecast_record(EngineContext* context) {
  if (context == nullptr || context->store == nullptr) return kTsInvalid;
  ForecastRecord* fc = add_record(context, context->store->forecasts);
  if (fc == nullptr) return kTsMemory;
  fc->model = context->model;
  context->forecast = fc;
  return kTsOk;
}

int register_model(ModelRegistry* tree, const void* key, ModelRecord* model) {
  if (tree == nullptr || model == nullptr) return kTsInvalid;
  try {
    tree->nodes[key] = model;
  } catch (const std::bad_alloc&) {
    return kTsMemory;
  }
  return kTsOk;
}

ModelRecord* find_registered_model(const ModelRegistry* tree, const void* key) {
  if (tree == nullptr) return nullptr;
  auto it = tree->nodes.find(key);
  return it == tree->nodes.end() ? nullptr : it->second;
}

void engine_message(EngineContext* context, int set, int number,
                    std::vector<std::variant<long, double, std::string>> args) {
  if (context == nullptr) return;
  try {
    context->messages.push_back(EngineMessage{set, number, std::move(args)});
  } catch (const std::bad_alloc&) {
    // The message is lost; the condition itself is still returned as a code.
  }
}

int report_invalid_argument(EngineContext* context, int rc, const char* where) {
  engine_message(context, message_set::kEngine, engine_message_id::kInvalidArgument, {std::string(where)});
  return rc;
}

namespace {

int make_factor(EngineContext* context, LagPolynomial* filt, int p, int spacing) {
  if (context == nullptr || context->store == nullptr || filt == nullptr) return kTsInvalid;
  if (p < 1) {
    *filt = LagPolynomial{};
    return kTsOk;
  }
  if (int rc = resize_tracked(context, filt->lags, static_cast<std::size_t>(p)); rc != kTsOk) return rc;
  if (int rc = resize_tracked(context, filt->coefficients, static_cast<std::size_t>(p)); rc != kTsOk) return rc;
  filt->terms = p;
  for (int j = 0; j < p; ++j) {
    filt->lags[j] = (j + 1) * spacing;
    filt->coefficients[j] = 0.0;
  }
  return kTsOk;
}

}  // namespace

int make_nonseasonal_factor(EngineContext* context, LagPolynomial* filt, int p) {
  return make_factor(context, filt, p, 1);
}

int make_seasonal_factor(EngineContext* context, LagPolynomial* filt, int p, int period) {
  if (period < 1 && p >= 1) return kTsInvalid;
  return make_factor(context, filt, p, period);
}

}  // namespace x11sa
