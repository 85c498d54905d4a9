// The C++ runtime of a program that never throws: every throw point of the standard library ends the process.
// Nothing in the program throws or catches (failures are reported by bool), so an exception could only mean an
// impossible string length or no memory left, which the program cannot go on from anyway. Defining the runtime's
// entry points here keeps the linker from pulling in the exception machinery behind them: the unwinder and its
// threads library, the standard exception classes with their own string type, and the demangler of the default
// terminate handler; about half of the program's size. Linked into the program only: the tests keep exceptions.
#include <cstdlib>
#include <new>

#include <unwind.h>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
}  // namespace std

// The standard allows a program to replace these; the library's own throw bad_alloc.
void* operator new(std::size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (!block) std::abort();
    return block;
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

// Referenced by the library's precompiled string code for the exceptions it would pass on; never reached, since
// nothing is thrown.
extern "C" {
_Unwind_Reason_Code __gxx_personality_v0(int, _Unwind_Action, _Unwind_Exception_Class, _Unwind_Exception*,
                                         _Unwind_Context*) {
    std::abort();
}
void* __cxa_begin_catch(void*) { std::abort(); }
void __cxa_end_catch() { std::abort(); }
void __cxa_rethrow() { std::abort(); }
void _Unwind_Resume(_Unwind_Exception*) { std::abort(); }
}
