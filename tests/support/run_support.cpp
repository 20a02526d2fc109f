#include "support/run_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "host/dataset.h"
#include "host/program.h"

namespace x11sa::test {

ScratchDir::ScratchDir() {
  std::random_device rd;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / ("x11sa-test-" + std::to_string(rd()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void ScratchDir::copy_data(const std::string& name) const {
  std::filesystem::copy_file(data_file(name), path_ / name, std::filesystem::copy_options::overwrite_existing);
}

void ScratchDir::write(const std::string& name, const std::string& text) const {
  std::ofstream out(path_ / name, std::ios::binary);
  out << text;
}

bool ScratchDir::exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

RunOutput run_in(const ScratchDir& dir, const std::string& program, bool reports) {
  RunOutput r;
  RunOptions opt;
  opt.libs.emplace_back("WORK", dir.path().string());
  if (reports) {
    opt.json_path = (dir.path() / "report.json").string();
    opt.html_path = (dir.path() / "report.html").string();
  }
  opt.log_text = &r.log;
  opt.listing_text = &r.listing;
  opt.progress = nullptr;
  r.result = run_program(program, opt);
  return r;
}

Table read_table(const std::filesystem::path& file) {
  Table t;
  auto opened = InputDataSet::open(file.string(), file.filename().string());
  if (!opened) {
    ADD_FAILURE() << opened.error();
    return t;
  }
  const std::unique_ptr<InputDataSet> ds = std::move(opened).value();
  for (const auto& v : ds->vars()) t.names.push_back(v.name);
  ds->set_by({}, {}, false);
  while (ds->next_group()) {
    while (ds->next_row()) {
      for (std::size_t k = 0; k < ds->vars().size(); ++k) {
        const auto& v = ds->vars()[k];
        if (v.type == VarType::Numeric) {
          t.num[v.name].push_back(ds->num(static_cast<int>(k)));
        } else {
          t.text[v.name].emplace_back(ds->str(static_cast<int>(k)));
        }
      }
      ++t.rows;
    }
  }
  return t;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::filesystem::path data_file(const std::string& name) { return std::filesystem::path(X11SA_TEST_DATA) / name; }

}  // namespace x11sa::test
