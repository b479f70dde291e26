#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/base/error.h"
#include "platform/base/runtime.h"
#include "platform/pixels/parallel.h"

namespace {

using platform::Error;
using platform::ErrorNumber;

struct RoundCase {
  double value;
  int32_t expected;
};

TEST(Round32, NearestWithHalvesToEven) {
  const RoundCase cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {-0.5, 0},
      {-1.5, -2},
      {-2.5, -2},
      {0.49999999, 0},
      {0.50000001, 1},
      {-0.5000000077, -1},
      {48.50000000773502, 49},
      {2147483647.0, 2147483647},
      {-2147483648.0, std::numeric_limits<int32_t>::min()},
      {2147483647.4, 2147483647},
      {-2147483648.5, std::numeric_limits<int32_t>::min()},  // half to even stays in range
  };
  for (const auto& c : cases) EXPECT_EQ(platform::Round32(c.value), c.expected) << c.value;
}

TEST(Round32, RaisesOverflowOutsideTheRangeAndFaultsForNanAndInfinity) {
  const struct {
    double value;
    ErrorNumber number;
  } cases[] = {
      {2147483647.5, ErrorNumber::kOverflow},  // halves to even: 2147483648
      {-2147483649.0, ErrorNumber::kOverflow},
      {1e300, ErrorNumber::kOverflow},
      {std::numeric_limits<double>::infinity(), ErrorNumber::kOverflow},
      {-std::numeric_limits<double>::infinity(), ErrorNumber::kOverflow},
      {std::nan(""), ErrorNumber::kInvalidProcedureCall},
  };
  for (const auto& c : cases) {
    try {
      platform::Round32(c.value);
      ADD_FAILURE() << "no error for " << c.value;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), c.number) << c.value;
    }
  }
}

TEST(CheckedArithmetic, SumsAndDifferencesOverflowAtBothEnds) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(platform::Add32(kMax - 1, 1), kMax);
  EXPECT_EQ(platform::Add32(kMin + 1, -1), kMin);
  EXPECT_EQ(platform::Sub32(kMin + 1, 1), kMin);
  EXPECT_EQ(platform::Sub32(-1, kMin), kMax);
  EXPECT_THROW(platform::Add32(kMax, 1), Error);
  EXPECT_THROW(platform::Add32(kMin, -1), Error);
  EXPECT_THROW(platform::Sub32(kMin, 1), Error);
  EXPECT_THROW(platform::Sub32(0, kMin), Error);
}

TEST(Half, TruncatesTowardZero) {
  const int32_t cases[][2] = {{-3, -1}, {3, 1}, {-1, 0}, {223, 111}, {0, 0}, {-4, -2}};
  for (const auto& c : cases) EXPECT_EQ(platform::Half(c[0]), c[1]) << c[0];
}

TEST(Radians, UsesTheProgramsConstantAndFaultsForBadAngles) {
  EXPECT_EQ(platform::Radians(30.0f), 30.0 * 3.1415926 / 180.0);
  EXPECT_DOUBLE_EQ(std::cos(platform::Radians(30.0f)), 0.8660254082502548);
  EXPECT_THROW(platform::Radians(std::numeric_limits<float>::quiet_NaN()), Error);
  EXPECT_THROW(platform::Radians(std::numeric_limits<float>::infinity()), Error);
  EXPECT_THROW(platform::Divide(1.0, 0.0), Error);
}

TEST(DescribeError, NamesTheNumberTheCauseAndTheFile) {
  const Error error(ErrorNumber::kFileNotFound, "File not found", "/x/test.jpg");
  EXPECT_EQ(platform::DescribeError(error), "Run-time error 53: File not found: /x/test.jpg");
}

// However the rows are shared out, small jobs on this thread alone or large ones in
// pieces over the cores, each row is handed out exactly once.
TEST(ForRowBands, EachRowExactlyOnce) {
  const struct {
    int32_t rows;
    int64_t pixels;
  } jobs[] = {{0, 0},
              {1, 1},
              {7, 100},
              {1, int64_t{1} << 30},
              {3, int64_t{1} << 30},
              {15, 4'000'000},
              {1895, 4'000'000},
              {4001, 24'000'000}};
  for (const auto& job : jobs) {
    SCOPED_TRACE(std::to_string(job.rows) + " rows");
    std::vector<std::atomic<int>> visits(static_cast<size_t>(job.rows));
    std::atomic<int> calls{0};
    platform::ForRowBands(job.rows, job.pixels, [&](int32_t first, int32_t last) {
      ++calls;
      EXPECT_LT(first, last);
      for (int32_t row = first; row < last; ++row) ++visits[static_cast<size_t>(row)];
    });
    for (int32_t row = 0; row < job.rows; ++row) {
      ASSERT_EQ(visits[static_cast<size_t>(row)].load(), 1) << "row " << row;
    }
    EXPECT_EQ(calls.load() == 0, job.rows == 0);
  }
}

// Counts each row's visits of a job big enough to be shared over the cores.
struct Visits {
  explicit Visits(int32_t rows) : counts(static_cast<size_t>(rows)) {}
  void Band(int32_t first, int32_t last) {
    for (int32_t row = first; row < last; ++row) ++counts[static_cast<size_t>(row)];
  }
  bool EachOnce() const {
    for (const auto& count : counts) {
      if (count.load() != 1) return false;
    }
    return true;
  }
  std::vector<std::atomic<int>> counts;
};

constexpr int64_t kShared = 4'000'000;  // pixels: enough to go over the cores

// The helper threads are shared: a job started inside a job, or from another thread while
// one is on, must still be done whole, not wait for the helpers forever.
TEST(ForRowBands, NestedAndConcurrentJobsEachRowExactlyOnce) {
  Visits outer(64);
  std::vector<Visits> inner;
  for (int i = 0; i < 64; ++i) inner.emplace_back(257);
  platform::ForRowBands(64, kShared, [&](int32_t first, int32_t last) {
    outer.Band(first, last);
    for (int32_t row = first; row < last; ++row) {
      auto& mine = inner[static_cast<size_t>(row)];
      platform::ForRowBands(257, kShared, [&](int32_t a, int32_t b) { mine.Band(a, b); });
    }
  });
  EXPECT_TRUE(outer.EachOnce());
  for (const auto& visits : inner) EXPECT_TRUE(visits.EachOnce());

  std::vector<Visits> jobs;
  for (int i = 0; i < 2 * 200; ++i) jobs.emplace_back(1000);
  auto run = [&](int from) {
    for (int i = from; i < from + 200; ++i) {
      platform::ForRowBands(1000, kShared, [&](int32_t a, int32_t b) { jobs[i].Band(a, b); });
    }
  };
  std::thread other(run, 200);
  run(0);
  other.join();
  for (const auto& visits : jobs) EXPECT_TRUE(visits.EachOnce());
}

// A band that throws, on whichever thread it runs, fails the whole call on the caller's
// thread with that exception, and only once no band is running any more. The threads are
// fit for the next job.
TEST(ForRowBands, ABandsFailureReachesTheCallerOnceEveryBandHasStopped) {
  constexpr int32_t kRows = 200;
  for (const int32_t bad_row : {0, 1, kRows / 2, kRows - 1}) {
    SCOPED_TRACE("fails at row " + std::to_string(bad_row));
    std::atomic<int> inside{0};
    try {
      platform::ForRowBands(kRows, kShared, [&](int32_t first, int32_t last) {
        ++inside;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (first <= bad_row && bad_row < last) {
          --inside;
          throw std::runtime_error("row " + std::to_string(bad_row));
        }
        --inside;
      });
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& failure) {
      EXPECT_EQ(failure.what(), "row " + std::to_string(bad_row));
      EXPECT_EQ(inside.load(), 0);
    }
    Visits after(kRows);
    platform::ForRowBands(kRows, kShared, [&](int32_t a, int32_t b) { after.Band(a, b); });
    EXPECT_TRUE(after.EachOnce());
  }
}

}  // namespace
