#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/TFHarbrook.h"
#include "engine/DirListings.h"
#include "tests/support/RunUntil.h"

namespace harbrook::testing {

// The window as the program starts it, shown, its settings (and every file kept beside
// them) in `folder`, its passwords in `passwords` (none: in the files).
inline std::unique_ptr<TFHarbrook> openWindowIn(const std::string& folder, IPasswordStore* passwords = nullptr) {
    TFHarbrookSetup setup;
    setup.passwords = passwords;
    setup.iniPath = folder + "/Harbrook.ini";
    setup.programPath = setup.iniPath;
    auto window = std::make_unique<TFHarbrook>(setup);
    window->show();
    return window;
}

// Lets the window's event loop run until its remote session has ended every command it
// was given (and told the window all of it), and no reload of the shown folder is due
// (an upload drops its cached lines; the timer lists it anew); false when that took
// longer than `ms`.
inline bool settle(TFHarbrook& window, int ms = 20000) {
    return runUntil(
        [&] {
            return !window.Session().Busy() &&
                   (!window.Session().Connected() || DirListingExists(window.CurrentFolder()));
        },
        ms);
}

// A look at the main client on the session's thread (the only one that uses it).
template <typename Look>
auto onClient(TFHarbrook& window, Look look) {
    decltype(look(window.IdFTP1)) result{};
    window.Session().Inspect([&](TIdFTP& client) { result = look(client); });
    return result;
}

}  // namespace harbrook::testing
