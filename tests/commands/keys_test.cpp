#include "commands/keys.h"

#include <gtest/gtest.h>

#include "commands/panel_bench.h"

namespace talvaro {
namespace {

using testing::PanelBench;

constexpr int shift = 16;

TEST(KeyEvents, CloseRequestEndsTheLoopAndOtherCodesAreIgnored) {
  PanelBench bench;
  handle_event(*bench.cx, 5, 77);
  EXPECT_EQ(bench.st.running, 1);
  EXPECT_EQ(bench.st.event_code, 5);
  EXPECT_EQ(bench.st.event_param, 77);
  EXPECT_EQ(bench.st.key_queue_length, 0);

  handle_event(*bench.cx, event_close, 0);
  EXPECT_EQ(bench.st.running, 0);
  EXPECT_EQ(bench.st.event_code, event_close);
}

TEST(KeyEvents, AKeyPressQueuesItsCodeAndAReceiveMarker) {
  PanelBench bench;
  handle_event(*bench.cx, event_key_down, 'F');
  EXPECT_EQ(bench.st.key_held, 1);
  handle_event(*bench.cx, event_key_up, 0);
  EXPECT_EQ(bench.st.key_held, 0);
  EXPECT_EQ(bench.st.last_key, key::none);
  ASSERT_EQ(bench.st.key_queue_length, 2);
  EXPECT_EQ(bench.st.key_queue[0], 'F');
  EXPECT_EQ(bench.st.key_queue[1], 0);
}

TEST(KeyEvents, HeldKeysQueueOnceAndLockOutOtherKeys) {
  PanelBench bench;
  // Auto-repeat delivers more key-downs while the key is held.
  handle_event(*bench.cx, event_key_down, '1');
  handle_event(*bench.cx, event_key_down, '1');
  handle_event(*bench.cx, event_key_down, '1');
  handle_event(*bench.cx, event_key_up, 0);
  EXPECT_EQ(bench.st.key_queue_length, 2);

  // Releasing and pressing it again queues it again.
  bench.press('1');
  EXPECT_EQ(bench.st.key_queue_length, 4);

  // Shift held while a letter is pressed: only Shift is queued.
  handle_event(*bench.cx, event_key_down, shift);
  handle_event(*bench.cx, event_key_down, 'A');
  handle_event(*bench.cx, event_key_up, 0);
  handle_event(*bench.cx, event_key_up, 0);
  ASSERT_EQ(bench.st.key_queue_length, 6);
  EXPECT_EQ(bench.st.key_queue[4], shift);
  EXPECT_EQ(bench.st.key_queue[5], 0);
}

TEST(KeyEvents, AFullQueueDropsFurtherPresses) {
  PanelBench bench;
  for (int i = 0; i < 10; ++i) bench.press('0' + i);
  ASSERT_EQ(bench.st.key_queue_length, 20);
  bench.press('A');
  bench.press('B');
  EXPECT_EQ(bench.st.key_queue_length, 20);
  EXPECT_EQ(bench.st.key_queue[18], '9');
  EXPECT_EQ(bench.st.key_queue[19], 0);
  // The latch still follows the keyboard.
  EXPECT_EQ(bench.st.key_held, 0);

  // Once entries have been taken there is room again.
  bench.tick(2);
  EXPECT_EQ(bench.st.key_queue_length, 18);
  bench.press('C');
  EXPECT_EQ(bench.st.key_queue_length, 20);
  EXPECT_EQ(bench.st.key_queue[18], 'C');
}

TEST(KeyEvents, TimerTicksRunThePollCycle) {
  PanelBench bench;
  bench.tick();
  EXPECT_EQ(bench.st.meter_state, 1);
  bench.tick();
  EXPECT_EQ(bench.st.meter_state, 2);
  EXPECT_EQ(testing::joined(bench.take_commands()), "LM");
}

}  // namespace
}  // namespace talvaro
