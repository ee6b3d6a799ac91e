// Loads a library of this build at run time, as the product's host does,
// and looks up its exports by name (LoadLibrary/GetProcAddress on Windows,
// dlopen/dlsym natively).
#ifndef NETMON_TESTING_DYNLIB_H
#define NETMON_TESTING_DYNLIB_H

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

class DynamicLibrary {
 public:
  explicit DynamicLibrary(const std::string &path) {
#ifdef _WIN32
    handle_ = LoadLibraryA(path.c_str());
#else
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
  }
  ~DynamicLibrary() {
#ifdef _WIN32
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
#else
    if (handle_) dlclose(handle_);
#endif
  }
  DynamicLibrary(const DynamicLibrary &) = delete;
  DynamicLibrary &operator=(const DynamicLibrary &) = delete;

  bool loaded() const { return handle_ != nullptr; }

  template <typename Function>
  Function get(const char *name) const {
#ifdef _WIN32
    return reinterpret_cast<Function>(
        reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle_), name)));
#else
    return reinterpret_cast<Function>(dlsym(handle_, name));
#endif
  }

 private:
  void *handle_ = nullptr;
};

#endif
