#pragma once

#include <QString>

namespace kestrane {

// Kestrane's state folder: $XDG_STATE_HOME/kestrane (an absolute XDG_STATE_HOME) or
// ~/.local/state/kestrane. Not made here.
QString KestraneStateFolder();

// The home folder the deploy tool runs with (its Java property user.home), where it keeps its
// login data (.deployData: per device address a login cookie and an unsalted hash of the
// password). It is Kestrane's own, so nothing of it lands in the user's home:
// $XDG_STATE_HOME/kestrane/deploy-tool (an absolute XDG_STATE_HOME) or
// ~/.local/state/kestrane/deploy-tool, with mode 0700 (set again on every call). Empty when it
// cannot be made; the tool then keeps its data where it would on its own.
QString DeployToolHome();

// The login data file in a tool home.
QString DeployDataPath(const QString& toolHome);

// Removes the empty entry "ADDRESS=" from the tool home's login data. The tool writes it while it
// connects and replaces it after the login; a tool stopped in between leaves it behind, and the
// next command to that address then waits about ten seconds longer. Other entries stay; the file
// is replaced whole with mode 0600. Does nothing when there is no such entry.
void RemoveEmptyLoginEntry(const QString& toolHome, const QString& address);

} // namespace kestrane
