#pragma once

#include <cstddef>
#include <span>

#include "platform/message.h"

namespace vantoril {

// The windows whose messages the main loop dispatches: the windows created
// through the platform layer, at most 256 (later ones are not listed).
class AppWindowList {
 public:
  static constexpr size_t kCapacity = 256;

  static void Clear();
  // False when the list is full.
  static bool Add(WindowHandle window);
  // Later entries move down one place.
  static void Remove(WindowHandle window);
  static bool Contains(WindowHandle window);
  static size_t Count();
};

}  // namespace vantoril
