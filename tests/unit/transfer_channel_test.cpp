#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "curl_transfer/curl_transfer_control.h"
#include "platform/busy_wait.h"
#include "platform/response_codes.h"
#include "remote/transfer_channel.h"
#include "window/posted_events.h"

namespace tarnwick {
namespace {

// The window's event loop as the front ends keep it: what other threads post waits until the window's
// thread drains it.
class WindowLoop : public EventPoster {
 public:
  void Post(std::function<void()> event) override {
    events_.Push(std::move(event));
    const std::lock_guard lock(mutex_);
    ++posted_;
    postedMore_.notify_all();
  }
  bool AwaitPosted(int count) {
    std::unique_lock lock(mutex_);
    return postedMore_.wait_for(lock, std::chrono::seconds(20), [&] { return posted_ >= count; });
  }
  void Drain() {
    while (const auto event = events_.Take()) {
      event();
    }
  }

 private:
  PostedEvents events_;
  std::mutex mutex_;
  std::condition_variable postedMore_;
  int posted_ = 0;
};

// What reaches the handlers, each checked to run on the thread that set them: the window's.
template <typename Target>
void Listen(Target& target, std::vector<std::string>& heard) {
  const auto window = std::this_thread::get_id();
  target.SetOutcomeHandler([&heard, window](const TransferOutcome& outcome) {
    EXPECT_EQ(std::this_thread::get_id(), window);
    heard.push_back("outcome " + std::to_string(outcome.completed ? outcome.bytes : outcome.code));
  });
  target.SetProgressHandler([&heard, window](const TransferProgress& progress) {
    EXPECT_EQ(std::this_thread::get_id(), window);
    heard.push_back("progress " + std::to_string(progress.bytes) + "/" + std::to_string(progress.size));
  });
  target.SetWaitHandler([&heard, window](const TransferWait& wait) {
    EXPECT_EQ(std::this_thread::get_id(), window);
    heard.push_back("wait " + std::to_string(wait.nextTry) + "/" + std::to_string(wait.tries));
  });
}

void SendFromWorker(const std::shared_ptr<TransferChannel>& channel) {
  std::thread worker([channel] {
    channel->Report({10, 100});
    channel->Wait({2, 6, 1, "421 too many users"});
    channel->Report({100, 100});
    channel->Deliver(TransferOutcome::Completed(100));
    channel->Deliver(TransferOutcome::Failed(550, "no file"));
  });
  worker.join();
}

TEST(TransferChannel, ArrivesInCallOrderOnTheWindowsThreadAndNeverOnceTheControlIsStoppedOrGone) {
  WindowLoop loop;
  std::vector<std::string> heard;
  const auto channel = std::make_shared<TransferChannel>(loop, TransferSettings{});
  Listen(*channel, heard);
  SendFromWorker(channel);
  EXPECT_TRUE(heard.empty());  // nothing runs on the worker's thread
  loop.Drain();
  EXPECT_EQ(heard, (std::vector<std::string>{"progress 10/100", "wait 2/6", "progress 100/100", "outcome 100",
                                             "outcome 550"}));

  // Stopped with events on their way and events still to come: the window's handlers never hear them.
  heard.clear();
  SendFromWorker(channel);
  channel->Stop();
  SendFromWorker(channel);
  loop.Drain();
  EXPECT_TRUE(heard.empty());

  // The FTP control destroyed after its worker sent its outcome; another control of the run still hears its own.
  heard.clear();
  std::vector<std::string> heardByKept;
  WindowLoop run;
  CurlTransferControlFactory factory(run, {});
  auto gone = factory.Create({});
  const auto kept = factory.Create({});
  Listen(*gone, heard);
  Listen(*kept, heardByKept);
  gone->Execute("unreadable", "Get a.doc  a.doc", {});  // failed by the worker without a connection
  kept->Execute("unreadable", "Get a.doc  a.doc", {});
  ASSERT_TRUE(run.AwaitPosted(3));  // the run's route, told once, and the two outcomes
  gone.reset();
  run.Drain();
  EXPECT_TRUE(heard.empty());
  EXPECT_EQ(heardByKept, std::vector<std::string>{"outcome " + std::to_string(codes::kBadRequest)});
}

// A hall refused at once spreads out only when every pause is drawn over its whole length, in fractions of a
// second, and the pauses double from 2 s to a minute, try by try; the budget ends the waiting with a last try.
TEST(BusyWait, PausesDoubleToAMinuteDrawnOverTheirWholeLengthAndTheBudgetOrTheTriesEndThem) {
  using std::chrono::milliseconds;
  const std::initializer_list<long long> ceilings = {2000, 4000, 8000, 16000, 32000, 60000, 60000};
  std::minstd_rand random(7);
  std::vector<long long> shortest(ceilings.size(), 1'000'000), longest(ceilings.size(), 0);
  int fractions = 0;
  for (int walk = 0; walk < 400; ++walk) {
    BusyWait wait(std::chrono::hours(1), 0);
    for (size_t n = 0; n < ceilings.size(); ++n) {
      const BusyPause next = wait.NextPause(milliseconds(0), random).value();
      EXPECT_EQ(next.nextTry, static_cast<int>(n) + 2);
      const long long pause = next.length.count();
      shortest[n] = std::min(shortest[n], pause);
      longest[n] = std::max(longest[n], pause);
      fractions += pause % 1000 != 0;
    }
  }
  size_t n = 0;
  for (const long long ceiling : ceilings) {
    EXPECT_LT(shortest[n], ceiling / 10) << "before try " << n + 2;
    EXPECT_GT(longest[n], ceiling * 9 / 10) << "before try " << n + 2;
    EXPECT_LE(longest[n], ceiling) << "before try " << n + 2;
    ++n;
  }
  EXPECT_GT(fractions, 400 * 6);

  BusyWait budget(std::chrono::seconds(10), 0);
  EXPECT_LE(budget.NextPause(milliseconds(9700), random).value().length, milliseconds(300));  // the last try at the end
  EXPECT_FALSE(budget.NextPause(milliseconds(10000), random));

  BusyWait tries(std::chrono::hours(1), 3);
  EXPECT_EQ(tries.NextPause(milliseconds(0), random).value().nextTry, 2);
  EXPECT_EQ(tries.NextPause(milliseconds(0), random).value().nextTry, 3);
  EXPECT_FALSE(tries.NextPause(milliseconds(0), random));
}

}  // namespace
}  // namespace tarnwick
