// Feeds an arbitrary settings text to the store, then reads and replaces the
// keys the program uses.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantoril::SettingsStore store;
  const std::string text(reinterpret_cast<const char*>(data), size);
  store.SetText(text);
  static const char* const kKeys[] = {"FrameRate",      "AspectMode", "Scale",     "TimeScale",
                                      "AltImageFolder", "MovieWid",   "CodecType", ""};
  for (const char* key : kKeys) {
    const std::string value = store.GetSetting(key, "default");
    store.GetSettingInt(key, 7);
    store.PutSetting(key, value + text.substr(0, 16));
    if (*key && store.GetSetting(key, "?").find('\r') != std::string::npos) {
      __builtin_trap();  // a value never holds a line break
    }
    store.PutSettingInt(key, static_cast<int32_t>(size));
    if (*key && store.GetSettingInt(key, -1) != static_cast<int32_t>(size)) {
      __builtin_trap();  // what was put is what is read
    }
  }
  return 0;
}
