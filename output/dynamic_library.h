#pragma once

#include <filesystem>
#include <string_view>

namespace vantoril {

// A shared library loaded by name for the length of one operation. Move-only;
// unloads when it goes.
class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { Unload(); }
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Looks for `fileName` in `folder` only when one is given; otherwise in the
  // program's own folder, then in the system's library paths. Never in the
  // current folder. Not loaded (IsLoaded false) when it is not found.
  static DynamicLibrary Load(std::string_view fileName, const std::filesystem::path& folder = {});

  bool IsLoaded() const { return handle_ != nullptr; }
  void Unload();

  // The entry point `name` as a function of type F, or null.
  template <typename F>
  F* Function(const char* name) const {
    return reinterpret_cast<F*>(Symbol(name));
  }
  void* Symbol(const char* name) const;

 private:
  explicit DynamicLibrary(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

// The folder of the running program (from /proc/self/exe); empty if unknown.
std::filesystem::path ProgramFolder();

}  // namespace vantoril
