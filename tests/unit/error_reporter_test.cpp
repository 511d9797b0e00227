// Errors that escape a handler: the handler stops, the program runs on, and
// the user sees each distinct error once.
#include "runtime/error_reporter.h"

#include <gtest/gtest.h>

#include <new>

#include "platform/fake/fake_platform.h"

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
  struct FlakyBoxes final : MessageBoxes {
    int calls = 0;
    int Show(const std::wstring&, const std::wstring&, unsigned) override {
      if (++calls == 1) throw std::bad_alloc();
      return 1;
    }
  } boxes;
  FakeTextCodec codec;
  ErrorReporter reporter(boxes, codec, L"Norvane Pellumin");
  RunHandler(reporter, [] { throw RuntimeError("first"); });  // would terminate if Report threw
  reporter.Report("second");
  reporter.Report("first");  // never seen, so shown now
  EXPECT_EQ(boxes.calls, 3);
}

}  // namespace
}  // namespace np
