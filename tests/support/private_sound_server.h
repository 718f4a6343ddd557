#pragma once

// A PulseAudio server of one test's own, with the null sink `test_null`, for
// tests that kill the server in the middle of a sound. While it lives,
// PULSE_SERVER names it, for this process and the programs it starts.

#include <sys/types.h>

#include <string>

#include "support/temp_dir.h"

namespace sonabank::test {

class PrivateSoundServer {
  public:
    // Returns once the server accepts clients.
    PrivateSoundServer();
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    // SIGKILL: the server vanishes as in a crash, and its clients find out.
    void Kill();

  private:
    TempDir dir_;
    pid_t pid_ = -1;
    std::string previousServer_;
    bool hadPreviousServer_ = false;
};

}  // namespace sonabank::test
