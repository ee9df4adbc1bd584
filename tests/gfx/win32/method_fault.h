// Makes a COM method fail on purpose, for tests of what a driver does when the system refuses a
// step: every object of a COM class shares one method table, so replacing one entry of it (for
// as long as a MethodFault lives) reaches the objects the driver makes for itself as well as the
// sample the test made to find the table. The library that holds the table has to stay loaded
// meanwhile (a test keeps a reference of its own), or the replaced entry goes with it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstring>

namespace drivertest {

class PlantedFault {
  public:
    virtual ~PlantedFault() = default;
    // Calls that reached the method's entry since the fault was planted, failed or not.
    virtual int calls() const = 0;
};

template <auto Method> class MethodFault;

// Calls number first_failing on (from 0) answer `answer` without reaching the object, for
// `failing` calls (every one when negative); the others go through to the method.
// One fault per method at a time.
template <typename Interface, typename... Args, HRESULT (Interface::*Method)(Args...)>
class MethodFault<Method> final : public PlantedFault {
  public:
    MethodFault(Interface* sample, HRESULT answer, int first_failing = 0, int failing = -1)
        : entry_(table_entry(sample)) {
        answer_ = answer;
        first_failing_ = first_failing;
        failing_ = failing;
        calls_ = 0;
        original_ = exchange(entry_, reinterpret_cast<void*>(&stand_in));
    }
    ~MethodFault() override { exchange(entry_, original_); }
    MethodFault(const MethodFault&) = delete;
    MethodFault& operator=(const MethodFault&) = delete;

    int calls() const override { return calls_; }

  private:
    using Call = HRESULT(STDMETHODCALLTYPE*)(Interface*, Args...);

    static HRESULT STDMETHODCALLTYPE stand_in(Interface* self, Args... args) {
        const int n = calls_++;
        if (n >= first_failing_ && (failing_ < 0 || n < first_failing_ + failing_)) return answer_;
        return reinterpret_cast<Call>(original_)(self, args...);
    }

    // g++ (Itanium C++ ABI, which mingw-w64 follows too) keeps a pointer to a virtual member
    // function as 1 + the byte offset of its entry in the method table.
    static void** table_entry(Interface* sample) {
        struct {
            std::ptrdiff_t pointer, adjustment;
        } raw;
        static_assert(sizeof raw == sizeof Method);
        const auto method = Method;
        std::memcpy(&raw, &method, sizeof raw);
        return *reinterpret_cast<void***>(sample) +
               (raw.pointer - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
    }

    // Method tables live in read-only pages, which may hold code that another thread runs
    // meanwhile: the page stays executable.
    static void* exchange(void** entry, void* value) {
        DWORD protection = 0;
        ::VirtualProtect(entry, sizeof value, PAGE_EXECUTE_READWRITE, &protection);
        void* const previous = *entry;
        *entry = value;
        ::VirtualProtect(entry, sizeof value, protection, &protection);
        return previous;
    }

    void** entry_;
    static inline void* original_ = nullptr;
    static inline HRESULT answer_ = S_OK;
    static inline int first_failing_ = 0, failing_ = -1;
    static inline std::atomic<int> calls_{0};
};

} // namespace drivertest
