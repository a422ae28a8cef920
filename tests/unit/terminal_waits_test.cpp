// How the terminal's loop waits, on the system's own primitives: a pipe and ppoll, or event objects.
#include "terminal/terminal_waits.h"

#include <gtest/gtest.h>

#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tarnwick {
namespace {

using Clock = TerminalWaits::Clock;
using std::chrono::milliseconds;

TEST(TerminalWaits, ADeadlineEndsTheWaitNotBeforeItIsDue) {
  TerminalWaits waits;
  const auto deadline = Clock::now() + milliseconds(30);
  EXPECT_EQ(waits.Wait(deadline, false), TerminalWaits::Woken::Work);
  EXPECT_GE(Clock::now(), deadline - milliseconds(1));  // a wait that ends early only costs another round
  EXPECT_EQ(waits.Wait(Clock::now() - milliseconds(5), false), TerminalWaits::Woken::Work);  // already due
}

TEST(TerminalWaits, AWakeFromAnotherThreadEndsAWaitWithoutDeadlineAndIsNotLost) {
  TerminalWaits waits;
  std::thread poster([&] {
    std::this_thread::sleep_for(milliseconds(20));
    waits.Wake();
  });
  EXPECT_EQ(waits.Wait(std::nullopt, false), TerminalWaits::Woken::Work);
  poster.join();
  waits.Wake();  // before the wait: the next wait still sees it
  EXPECT_EQ(waits.Wait(Clock::now() + std::chrono::seconds(10), false), TerminalWaits::Woken::Work);
}

TEST(TerminalWaits, AnInterruptionEndsTheWait) {
  TerminalWaits waits;
#ifdef _WIN32
  std::thread interrupter([&] {
    std::this_thread::sleep_for(milliseconds(20));
    waits.Interrupt();  // as the console's Ctrl-C handler does, on a thread of the system's
  });
  EXPECT_EQ(waits.Wait(std::nullopt, false), TerminalWaits::Woken::Interrupted);
  interrupter.join();
  EXPECT_EQ(waits.Wait(std::nullopt, false), TerminalWaits::Woken::Interrupted);  // and stays interrupted
#else
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
  waits.InterruptWhenReadable(fds[0]);
  const char byte = 1;
  ASSERT_EQ(write(fds[1], &byte, 1), 1);  // as the signal handler does
  EXPECT_EQ(waits.Wait(std::nullopt, false), TerminalWaits::Woken::Interrupted);
  close(fds[0]);
  close(fds[1]);
#endif
}

}  // namespace
}  // namespace tarnwick
