// Loaded into the Windows programs that the tests run under Wine (LD_PRELOAD), for the tests
// only. Wine reads a serial device's modem lines before it waits for characters, and gives the
// wait up when the device has none, as a pseudo-terminal, the tests' stand-in device, does not.
// Asked of a terminal that has no such lines, the lines read as all low and changes to them are
// taken; every other call goes on to the system as it is.

#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

bool isModemLineRequest(unsigned long request)
{
    return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

} // namespace

extern "C" int ioctl(int descriptor, unsigned long request, ...) noexcept
{
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);

    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto system = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    const int result = system(descriptor, request, argument);
    if (result == 0 || !isModemLineRequest(request) || (errno != ENOTTY && errno != EINVAL) ||
        !isatty(descriptor))
        return result;
    if (request == TIOCMGET)
        *static_cast<int *>(argument) = 0;
    return 0;
}
