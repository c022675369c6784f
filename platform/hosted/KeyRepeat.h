// Held keys as the controls expect them: further presses while the key is down, and one release
// when it comes up.
#pragma once

namespace corvane::platform {

// On X11 the server reports each repeat of a held key as a release and a press, which the
// toolkit flags as repeats only when both have arrived together; a release it misses would read
// as the key coming up. This asks the server to send the repeats as presses alone, for the
// application's whole connection. Elsewhere, and when called again, it does nothing.
void UseUnpairedKeyRepeat();

}  // namespace corvane::platform
