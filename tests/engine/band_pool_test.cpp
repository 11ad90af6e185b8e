#include "engine/band_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vantoril {
namespace {

// Job 0 waits for job 1 to have begun, so the two only finish quickly on
// two threads at once; a worker that missed the run leaves both to the
// caller, one after the other.
TEST(BandPool, TheFirstRunOfANewPoolIsShared) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    BandPool pool(1);
    std::mutex mutex;
    std::condition_variable started;
    bool secondStarted = false;
    bool waitedInVain = false;
    std::thread::id threads[2];
    pool.Run(2, [&](int i) {
      std::unique_lock lock(mutex);
      threads[i] = std::this_thread::get_id();
      if (i == 1) {
        secondStarted = true;
        started.notify_all();
      } else {
        waitedInVain =
            !started.wait_for(lock, std::chrono::seconds(5), [&] { return secondStarted; });
      }
    });
    EXPECT_FALSE(waitedInVain) << attempt;
    EXPECT_NE(threads[0], threads[1]) << attempt;
  }
}

}  // namespace
}  // namespace vantoril
