// Errors that escape a handler: the handler stops, the program runs on, and
// the user sees each distinct error once.
#include "runtime/error_reporter.h"

#include <gtest/gtest.h>

#include <new>

#include "tests/unit/fake_platform.h"

namespace np {
namespace {

// One box at a time: an error raised inside an open box's loop gets none.
TEST(ErrorReporter, ShowsEachDistinctErrorOnceAndOneBoxAtATime) {
  FakePlatform fake;
  fake.boxes.while_open = [&] { fake.errors.Report("raised by a tick inside the box's loop"); };
  for (const char* what : {"a", "b", "a", "a", "b", "c"}) fake.errors.Report(what);
  ASSERT_EQ(fake.boxes.Shown().size(), 3u);
  EXPECT_EQ(fake.boxes.Shown()[2].text, L"Run-time error: c");
}

TEST(ErrorReporter, ABoxThatFailsNeitherEscapesNorSilencesLaterErrors) {
  FakePlatform fake;
  fake.boxes.while_open = [&] { if (fake.boxes.Shown().size() == 1) throw std::bad_alloc(); };
  RunHandler(fake.errors, [] { throw RuntimeError("first"); });  // would terminate if Report threw
  fake.errors.Report("second");
  fake.errors.Report("first");  // never seen, so shown now
  EXPECT_EQ(fake.boxes.Shown().size(), 3u);
}

}  // namespace
}  // namespace np
