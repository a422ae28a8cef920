#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "transfer/download_queue.h"

namespace tarnwick {
namespace {

TEST(DownloadQueue, OneEntryIsStartedOnceAndItsArrivalFinishesTheList) {
  DownloadQueue queue;
  queue.Start({"FileUpdate.dat"});
  EXPECT_EQ(queue.Tick(), "FileUpdate.dat");
  EXPECT_EQ(queue.InFlight(), "FileUpdate.dat");
  for (int tick = 0; tick < 3; ++tick) {
    EXPECT_EQ(queue.Tick(), std::nullopt);  // in flight: nothing more starts
  }
  EXPECT_EQ(queue.Position(), 1u);
  EXPECT_TRUE(queue.Arrived().finished);
  EXPECT_EQ(queue.InFlight(), std::nullopt);
  EXPECT_EQ(queue.Tick(), std::nullopt);
  EXPECT_EQ(queue.Position(), 1u);
}

TEST(DownloadQueue, TheProgressRunsOneAheadOfTheArrivals) {
  DownloadQueue queue;
  queue.Start({"a.doc", "", "Tarnwick.msg"});
  std::vector<std::string> started;
  std::vector<int> progress;
  while (const auto next = queue.Tick()) {
    started.push_back(*next);
    EXPECT_EQ(queue.Position(), started.size());
    const QueueProgress arrived = queue.Arrived();
    if (arrived.finished) {
      break;
    }
    progress.push_back(arrived.value);
  }
  EXPECT_EQ(started, (std::vector<std::string>{"a.doc", "", "Tarnwick.msg"}));  // an empty name is started too
  EXPECT_EQ(progress, (std::vector<int>{2, 3}));
  EXPECT_EQ(queue.Tick(), std::nullopt);
}

TEST(DownloadQueue, NothingStartsBeforeTheHandOverOrAfterAFailure) {
  DownloadQueue queue;
  EXPECT_EQ(queue.Tick(), std::nullopt);
  queue.Start({"one.doc", "two.doc", "three.doc"});
  EXPECT_EQ(queue.Tick(), "one.doc");
  queue.Failed();
  EXPECT_EQ(queue.InFlight(), std::nullopt);
  EXPECT_EQ(queue.Tick(), std::nullopt);
  queue.Arrived();  // a late answer does not undo the failure
  EXPECT_EQ(queue.Tick(), std::nullopt);
  EXPECT_EQ(queue.Position(), 1u);
}

TEST(DownloadQueue, AHandOverStartsAfreshWhateverWasInFlight) {
  DownloadQueue queue;
  queue.Start({"one.doc", "two.doc"});
  EXPECT_EQ(queue.Tick(), "one.doc");
  queue.Start({"x.doc", "y.doc"});
  EXPECT_EQ(queue.Position(), 0u);
  EXPECT_EQ(queue.DownloadList(), (std::vector<std::string>{"x.doc", "y.doc"}));
  EXPECT_EQ(queue.Tick(), "x.doc");
  queue.Failed();
  queue.Start({"z.doc"});
  EXPECT_EQ(queue.Tick(), "z.doc");
  EXPECT_EQ(queue.Position(), 1u);
}

}  // namespace
}  // namespace tarnwick
