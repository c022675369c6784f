// The busy cursor over every window of the program for as long as a BusyCursor lives: made when
// a long operation starts, it restores the cursor however the operation ends, also by an
// exception.
#pragma once

namespace corvane::platform {

class BusyCursor {
public:
    // Shows the busy cursor at once, before the operation holds the event loop.
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace corvane::platform
