// Stands in for the system's calls from a test, to watch what a driver asks of the system or make
// a step fail on purpose, with no hook in the driver: a COM method is replaced in the method table
// that every object of its class shares (MethodFault), a function the program imports in its
// import entries (ImportPatch), a function the program looks up by name (LookupPatch). A COM table lives in its library, which has to stay loaded while
// a fault is planted (a test keeps a reference of its own), or the replaced entry goes with it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <vector>

namespace drivertest {

// Replaces a pointer in a read-only page (a method table, an import entry) and returns the one it
// held. The page may hold code that another thread runs meanwhile: it stays executable.
inline void* replace_entry(void** entry, void* value) {
    DWORD protection = 0;
    ::VirtualProtect(entry, sizeof value, PAGE_EXECUTE_READWRITE, &protection);
    void* const previous = *entry;
    *entry = value;
    ::VirtualProtect(entry, sizeof value, protection, &protection);
    return previous;
}

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
        original_ = replace_entry(entry_, reinterpret_cast<void*>(&stand_in));
    }
    ~MethodFault() override { replace_entry(entry_, original_); }
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

    void** entry_;
    static inline void* original_ = nullptr;
    static inline HRESULT answer_ = S_OK;
    static inline int first_failing_ = 0, failing_ = -1;
    static inline std::atomic<int> calls_{0};
};

// Points every import entry of the program for function at replacement while it lives.
class ImportPatch {
  public:
    ImportPatch(const char* function, void* replacement) {
        auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* dll =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             dll->Name != 0; ++dll) {
            const auto* names =
                reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
            for (; dll->OriginalFirstThunk != 0 && names->u1.AddressOfData != 0; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* name =
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(name->Name), function) != 0) continue;
                original_ = reinterpret_cast<void*>(slots->u1.Function);
                slots_.push_back(&slots->u1.Function);
            }
        }
        EXPECT_FALSE(slots_.empty()) << function << " is not imported";
        set(reinterpret_cast<ULONG_PTR>(replacement));
    }
    ~ImportPatch() { set(reinterpret_cast<ULONG_PTR>(original_)); }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    template <typename Fn> Fn original() const { return reinterpret_cast<Fn>(original_); }

  private:
    void set(ULONG_PTR value) {
        for (auto* slot : slots_)
            replace_entry(reinterpret_cast<void**>(slot), reinterpret_cast<void*>(value));
    }
    void* original_ = nullptr;
    std::vector<decltype(IMAGE_THUNK_DATA::u1.Function)*> slots_;
};

// The program's GetProcAddress answers `answer` for the function `name` while it lives (nullptr:
// the system has no such function); counts those lookups. One at a time.
class LookupPatch final : public PlantedFault {
  public:
    LookupPatch(const char* name, FARPROC answer) {
        name_ = name;
        answer_ = answer;
        lookups_ = 0;
        active_ = &patch_;
    }
    int calls() const override { return lookups_; }

  private:
    static FARPROC WINAPI look_up(HMODULE module, LPCSTR name) {
        if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 && std::strcmp(name, name_) == 0) {
            ++lookups_;
            return answer_;
        }
        return active_->original<decltype(&::GetProcAddress)>()(module, name);
    }

    ImportPatch patch_{"GetProcAddress", reinterpret_cast<void*>(&look_up)};
    static inline const ImportPatch* active_ = nullptr;
    static inline const char* name_ = nullptr;
    static inline FARPROC answer_ = nullptr;
    static inline std::atomic<int> lookups_{0};
};

} // namespace drivertest
