// Replacements for the few C++ runtime functions through which a statically linked runtime
// brings in far more than the program uses. The program catches no exception: every exception
// the runtime would throw ends it through std::terminate, and so do these, without the
// runtime's exception classes, strings and name demangler behind them (about 100 KB). Linked
// into the executable only, ahead of the runtime; the tests keep the runtime's own.
#include <cstdlib>

namespace __gnu_cxx {

// The default handler prints the type of the uncaught exception, which needs the demangler.
void __verbose_terminate_handler()
{
    std::abort();
}

} // namespace __gnu_cxx

namespace std {

// What the containers call when an allocation fails or a size is impossible.
void __throw_bad_alloc()
{
    std::abort();
}

void __throw_bad_array_new_length()
{
    std::abort();
}

void __throw_length_error(const char *)
{
    std::abort();
}

} // namespace std

// The global allocation functions, on malloc and free. The runtime's own throw std::bad_alloc,
// which links in the whole exception machinery, and with it a thread library, for an allocation
// failure that ends the program either way.
#include <new>

void *operator new(std::size_t size)
{
    void *block = std::malloc(size ? size : 1);
    if (!block)
        std::abort();
    return block;
}

void *operator new[](std::size_t size)
{
    return operator new(size);
}

void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    return std::malloc(size ? size : 1);
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    return std::malloc(size ? size : 1);
}

void operator delete(void *block) noexcept
{
    std::free(block);
}

void operator delete[](void *block) noexcept
{
    std::free(block);
}

void operator delete(void *block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete[](void *block, std::size_t) noexcept
{
    std::free(block);
}
