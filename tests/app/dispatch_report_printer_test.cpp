#include "app/dispatch_report_printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "mapping/keyset.h"
#include "protocol/short_message.h"

namespace orvo {
namespace {

struct Lines {
  std::mutex mutex;
  std::vector<std::string> said;
};

// A drag of Fader 1 over all 128 values, then a button: a readable few fader lines, the
// last value among them and after every other fader line, and the button's line whole.
TEST(DispatchReportPrinter, ADragPrintsAFewLinesEndingWithItsLastValue) {
  Keyset keyset("DEFAULT");
  Lines lines;
  {
    DispatchReportPrinter printer({"/settings", {}, {}}, [&](const std::string& line) {
      std::lock_guard lock(lines.mutex);
      lines.said.push_back(line);
    });
    DispatchReport report;
    report.outcome = DispatchOutcome::kUnmapped;
    report.keyset = &keyset;
    report.row = LookupControlById(1224);
    for (uint8_t value = 0; value < 128; ++value) {
      report.message = report.sent = PackShortMessage(0xBF, 0x00, value);
      printer.OnDispatched(report);
    }
    report.row = LookupControlById(1204);
    report.message = PackShortMessage(0xBE, 0x4C, 0x7F);
    printer.OnDispatched(report);
  }
  std::vector<std::string> fader;
  for (const std::string& line : lines.said)
    if (line.rfind("Fader 1 ", 0) == 0) fader.push_back(line);
  ASSERT_FALSE(fader.empty());
  EXPECT_LE(fader.size(), 5u);
  EXPECT_EQ(fader.back(), "Fader 1 BF007F, Keyset DEFAULT: not mapped; map it in the editor, or add a line to "
                          "/settings/DEFAULT.orvo");
  EXPECT_NE(std::find(lines.said.begin(), lines.said.end(),
                      "PLAY button BE4C7F, Keyset DEFAULT: not mapped; map it in the editor, or add a line to "
                      "/settings/DEFAULT.orvo"),
            lines.said.end());
}

}  // namespace
}  // namespace orvo
