// The busy cursor over every window of the program for as long as a BusyCursor lives: made when
// long work starts, it restores the cursor however the work ends, also by an exception. It
// shows once the event loop runs again: work that holds the event loop belongs on a thread.
#pragma once

namespace corvane::platform {

class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace corvane::platform
