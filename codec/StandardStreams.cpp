#include "StandardStreams.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace corvane {

void ReserveStandardStreams()
{
#ifndef _WIN32
    for (int stream = 0; stream <= 2; ++stream) {
        if (::fcntl(stream, F_GETFD) != -1 || errno != EBADF) continue;
        // /dev/null opened the other way round: the lowest free number is the stream's own, and
        // it can be neither read (input) nor written (output, error).
        const int standIn = ::open("/dev/null", (stream == 0 ? O_WRONLY : O_RDONLY) | O_CLOEXEC);
        if (standIn != -1 && standIn != stream) ::close(standIn);  // someone else's number: give it back
    }
#endif
}

}  // namespace corvane
