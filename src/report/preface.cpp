#include "report/preface.h"

#include <algorithm>

#include <fmt/format.h>

#include "host/host.h"

namespace x11sa {

namespace {

class Preface {
 public:
  explicit Preface(X11COM* Xp) : Xp_(Xp), linesize_(Xp->host->listing().linesize()) {}

  void centred(const std::string& text) { at(std::max(0, (linesize_ - width(text)) / 2), text); }
  void at(int margin, const std::string& text) {
    lines_.push_back(std::string(static_cast<std::size_t>(std::max(margin, 0)), ' ') + text);
  }
  void blank() { lines_.emplace_back(); }
  [[nodiscard]] int margin_for(int width) const { return std::max(0, (linesize_ - width) / 2); }

  void emit() {
    OdsManager& ods = Xp_->host->ods();
    ods_check(ods.open_table("lum.x11.preface", "Preface", ""));
    ods_check(ods.add_column(OdsColumn{"PrefaceText", "", ColType::Char, -1}));
    for (auto& l : lines_) ods_check(ods.add_row({std::move(l)}));
    ods_check(ods.close_table());
  }

  static int width(const std::string& s) {
    int n = 0;
    for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
  }

 private:
  X11COM* Xp_;
  int linesize_;
  std::vector<std::string> lines_;
};

}  // namespace

void x11prn0(X11COM* Xp, const VAR* v) {
  Preface p(Xp);
  for (int m = 654; m <= 657; ++m) p.centred(msgtext(m));
  p.blank();
  const int credit = p.margin_for(59);
  for (int m = 658; m <= 668; ++m) p.at(credit, msgtext(m));
  p.blank();
  std::string label;
  if (Xp->in_ds && v->varno >= 0)
    label = Xp->in_ds->vars()[static_cast<std::size_t>(v->varno)].label;
  const int margin = credit;
  if (label.empty()) {
    p.at(margin, msgtext(80, v->v_vs));
  } else if (v->v_vs.size() + label.size() + 12 < 256) {
    p.at(margin, msgtext(96, v->v_vs, label));
  } else {
    p.at(margin, msgtext(80, v->v_vs));
    p.at(margin, msgtext(223, label));
  }
  if (Xp->op.month_f == 0) {
    p.at(margin, msgtext(61, msgtext(201 + v->firstper), v->firstyr, msgtext(201 + v->lastper), v->lastyr));
    p.emit();
    return;
  }
  p.at(margin, msgtext(81, v->firstper + 1, v->firstyr, v->lastper + 1, v->lastyr));
  p.at(margin, msgtext(Xp->op.add_f != 0 ? 82 : 83));
  if (Xp->TableStmtFlag == 0) {
    static constexpr int kPrintout[4] = {672, 669, 670, 671};
    const int charts = Xp->charts >= 4 ? 675 : Xp->charts >= 1 ? 674 : 676;
    p.at(margin, fmt::format("{}   {}", msgtext(kPrintout[std::clamp(Xp->printout, 0, 3)]), msgtext(charts)));
  } else {
    p.at(margin, msgtext(673));
  }
  p.at(margin, msgtext(90, Xp->fullweight, Xp->zeroweight));
  if (Xp->exclude > 0) p.at(margin, msgtext(91, Xp->exclude));
  p.at(margin, msgtext(300));
  if (Xp->op.macrvs_f != 0) {
    static constexpr const char* kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                                "July",    "August",   "September", "October", "November", "December"};
    static constexpr const char* kCurves[] = {"Stable", "", "3", "3X3", "3X5", "3X9"};
    p.blank();
    p.at(margin, msgtext(92));
    p.at(margin, msgtext(93));
    for (int m = 0; m < 12; ++m) {
      const int code = Xp->macrv.spec[m];
      const char* curve = code >= -1 && code <= 4 ? kCurves[code + 1] : "";
      p.at(margin, fmt::format("{:<15}{}", kMonths[m], curve));
    }
  }
  p.emit();
}

}  // namespace x11sa
