#pragma once
// Binds entries of a DLL by name on their first call, the way the program declares its
// outside functions: a library that cannot be loaded raises 48, a missing entry 453.
#include <string>

namespace ch {

class DllBinding {
  public:
    // library: a bare name ("shell32.dll") or a full path; a full path is loaded from there
    // only, never searched for elsewhere.
    explicit DllBinding(std::string library);
    DllBinding(const DllBinding&) = delete;
    DllBinding& operator=(const DllBinding&) = delete;
    ~DllBinding();

    // The address of an entry, loading the library first if needed. A failed load is tried
    // again on the next call, so a DLL put in place later is found.
    void* entry(const char* name);

    template <typename Function> Function bind(const char* name) {
        return reinterpret_cast<Function>(entry(name));
    }

    const std::string& library() const { return library_; }

  private:
    std::string library_;
    void* module_ = nullptr;
};

} // namespace ch
