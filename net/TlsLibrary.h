#pragma once

/// Starts OpenSSL for this process; every use of the library in net/ calls
/// it first, so that these options are the ones the library starts with.
/// Later calls do nothing. On Windows the library reads no configuration
/// file: the folder it would read one from was fixed on the machine that
/// built it, and on a player's PC another user could create that folder and
/// plant a file there that loads a library of theirs. Elsewhere it reads the
/// system's own configuration, the system's policy for TLS.
void startTlsLibrary();
