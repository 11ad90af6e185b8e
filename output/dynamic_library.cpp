#include "output/dynamic_library.h"

#include <dlfcn.h>

#include <string>
#include <system_error>
#include <utility>

namespace vantoril {
namespace {

void* OpenFile(const std::filesystem::path& file) {
  return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    Unload();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

DynamicLibrary DynamicLibrary::Load(std::string_view fileName,
                                    const std::filesystem::path& folder) {
  // A name with a folder in it would escape the search rules below.
  if (fileName.empty() || fileName.find('/') != std::string_view::npos) return {};
  if (!folder.empty()) return DynamicLibrary(OpenFile(folder / fileName));

  const std::filesystem::path programFolder = ProgramFolder();
  if (!programFolder.empty()) {
    if (void* handle = OpenFile(programFolder / fileName)) return DynamicLibrary(handle);
  }
  // A bare name makes the loader search only its configured paths
  // (LD_LIBRARY_PATH, the cache, /lib and /usr/lib), not the current folder.
  return DynamicLibrary(dlopen(std::string(fileName).c_str(), RTLD_NOW | RTLD_LOCAL));
}

void DynamicLibrary::Unload() {
  if (handle_ != nullptr) dlclose(std::exchange(handle_, nullptr));
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

std::filesystem::path ProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : program.parent_path();
}

}  // namespace vantoril
