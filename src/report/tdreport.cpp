#include "report/tdreport.h"

#include <cmath>

#include "host/host.h"
#include "numeric/distrib.h"

namespace x11sa {

void tdr_day_rows(X11COM* Xp, TdrDayRow rows[7]) {
  const X11FLOW& f = Xp->x11flow;
  const double df2 = f.xn - 6;
  for (int d = 0; d < 7; ++d) {
    TdrDayRow& r = rows[d];
    r.prwgt = Xp->pdweights[d];
    r.coeff = Xp->tdr_wgts[d];
    r.cwgt = r.prwgt + r.coeff;
    r.stderr_ = f.s[d];
    if (r.stderr_ > 0.0) {
      r.t1 = Xp->op.add_f != 0 ? r.coeff / r.stderr_ : (r.cwgt - 1.0) / r.stderr_;
      r.t2 = r.coeff / r.stderr_;
    } else {
      r.t1 = 0.0;
      r.t2 = 0.0;
    }
    r.probt1 = zprbf(r.t1 * r.t1, 1.0, df2);
    r.probt2 = zprbf(r.t2 * r.t2, 1.0, df2);
    // Too few months for the test: no probability rather than an error value.
    if (r.probt1 < 0.0) r.probt1 = kMissing;
    if (r.probt2 < 0.0) r.probt2 = kMissing;
  }
}

namespace {

OdsCell num(double v) { return is_missing(v) ? OdsCell{} : OdsCell{v}; }

}  // namespace

void print_regression(X11COM* Xp, bool final_pass) {
  OdsManager& ods = Xp->host->ods();
  const X11FLOW& f = Xp->x11flow;
  const int title = final_pass ? 133 : 117;
  TdrDayRow rows[7];
  tdr_day_rows(Xp, rows);
  ods_check(ods.open_table("lum.x11.month.tdr0", "TDR_0", msgtext(title)));
  for (const auto& [name, label, type, dec] :
       {std::tuple{"Day", "Day", ColType::Char, -1}, std::tuple{"CombinedWgt", "Combined Weight", ColType::Num, 3},
        std::tuple{"PriorWgt", "Prior Weight", ColType::Num, 3},
        std::tuple{"RegCoeff", "Regression Coefficient", ColType::Num, 3},
        std::tuple{"StdError", "Standard Error", ColType::Num, 3},
        std::tuple{"TVal1", "T-Value (H0: Weight=1)", ColType::Num, 2},
        std::tuple{"TSig1", "Prob>|T|", ColType::Num, 4},
        std::tuple{"TVal2", "T-Value (H0: Coeff=0)", ColType::Num, 2},
        std::tuple{"TSig2", "Prob>|T|", ColType::Num, 4}})
    ods_check(ods.add_column(OdsColumn{name, label, type, dec}));
  for (int d = 0; d < 7; ++d) {
    const TdrDayRow& r = rows[d];
    ods_check(ods.add_row({std::string(kDayNames[d]), r.cwgt, r.prwgt, r.coeff, r.stderr_, r.t1,
                           num(r.probt1), r.t2, num(r.probt2)}));
  }
  ods_check(ods.close_table());

  ods_check(ods.open_table("lum.x11.month.tdr1", "TDR_1", msgtext(title)));
  ods_check(ods.add_column(OdsColumn{"Source", "Source", ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"SumOfSquares", "Sum of Squares", ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"DF", "DF", ColType::Num, 0}));
  ods_check(ods.add_column(OdsColumn{"MeanSquare", "Mean Square", ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"FValue", "F Value", ColType::Num, 2}));
  ods_check(ods.add_column(OdsColumn{"ProbF", "Prob>F", ColType::Num, 4}));
  const double df_err = f.xn > 6 ? f.xn - 6 : 0;
  ods_check(ods.add_row({std::string("Regression"), f.ssr, 6.0, f.msr, f.fv, f.prbf}));
  ods_check(ods.add_row({std::string("Error"), f.sse, df_err, f.mse, OdsCell{}, OdsCell{}}));
  ods_check(ods.add_row({std::string("Total"), f.sumysq, static_cast<double>(f.xn), OdsCell{}, OdsCell{}, OdsCell{}}));
  ods_check(ods.close_table());

  ods_check(ods.open_table("lum.x11.month.tdr2", "StandErrors", msgtext(title)));
  ods_check(ods.add_column(OdsColumn{"MonthType", "Month Length", ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"StandardErrors", "Standard Error", ColType::Num, 4}));
  for (int k = 0; k < 4; ++k)
    ods_check(ods.add_row({std::string(kMonthLengthNames[k]), f.stdmonth[k]}));
  ods_check(ods.close_table());
}

void print_message_table(X11COM* Xp, const std::string& name, const std::string& text) {
  OdsManager& ods = Xp->host->ods();
  std::string n = name;
  while (!n.empty() && n.back() == ' ') n.pop_back();
  ods_check(ods.open_table("lum.x11.message", n, ""));
  ods_check(ods.add_note(text));
  ods_check(ods.close_table());
}

}  // namespace x11sa
