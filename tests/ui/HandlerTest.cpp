// The handler wrapper: end steps first, then the report, and nothing escapes.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "Handler.h"
#include "TestSupport.h"

namespace {

TEST(Handler, EndStepsRunBeforeTheReportAndNothingEscapes) {
  struct TCase {
    const char* Name;
    bool BodyThrows;
    bool EndThrows;
    std::vector<std::string> Order;  // "body", "end", "report:<text>"
  };
  const TCase cases[] = {
      {"clean", false, false, {"body", "end"}},
      {"body throws", true, false, {"body", "end", "report:Can't open specified device COM4"}},
      {"end steps throw", false, true, {"body", "end", "report:end failed"}},
      // The body's failure is the one the person sees.
      {"both throw", true, true, {"body", "end", "report:Can't open specified device COM4"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> order;
    const TExceptionReporter previous = SetExceptionReporter(
        [&](const QString& text) { order.push_back("report:" + text.toStdString()); });
    RunHandler(
        [&] {
          order.push_back("body");
          if (c.BodyThrows) throw std::runtime_error("Can't open specified device COM4");
        },
        [&] {
          order.push_back("end");
          if (c.EndThrows) throw std::runtime_error("end failed");
        });
    SetExceptionReporter(previous);
    EXPECT_EQ(order, c.Order);
  }
}

TEST(Handler, AnythingThrownIsReportedWithItsText) {
  TExceptionRecorder recorder;
  RunHandler([] { throw std::out_of_range("'12x' is not a valid integer value"); });
  RunHandler([] { throw 42; });
  ASSERT_EQ(recorder.Texts.size(), 2u);
  EXPECT_EQ(recorder.Texts[0], QStringLiteral("'12x' is not a valid integer value"));
  EXPECT_FALSE(recorder.Texts[1].isEmpty());
}

}  // namespace
